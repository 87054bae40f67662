// The files below the system folder that the About dialog and the report
// describe, and where a 32-bit applet on 64-bit Windows finds them.
#pragma once

#include "framework/Afx.h"

struct CSystemFile {
    const wchar_t* pszName;  // below the system folder, starting with "\\"
    // A file of the driver package, installed for the system's own
    // architecture; the others are the applet and the library it loads.
    BOOL bDriverPackage;
};

// The applet, the device-access library, then the driver package's drivers
// and service, in the order the report lists them.
extern const CSystemFile g_systemFiles[8];

// The system folder as the user knows it, and the folder the files are read
// from: for a 32-bit program on 64-bit Windows the system redirects the
// system folder to its 32-bit one, where the driver package is not, so its
// files are read through the "Sysnative" alias of the real folder.
class CSystemFolder {
public:
    // FALSE when the system directory cannot be read.
    BOOL Load();
    CString ShownPath(const CSystemFile& file) const;
    CString ReadPath(const CSystemFile& file) const;

private:
    CString m_strDir;
    CString m_strNativeDir;
};
