#include "transfer/TransferKinds.h"

#include <cwchar>
#include <cwctype>

#include "applet/CplApp.h"
#include "applet/DeviceText.h"
#include "device/TmIvro.h"
#include "framework/AfxDlgs.h"
#include "res/resource.h"
#include "transfer/TransferDlg.h"

namespace {

// Text buffers of the naming reads, in characters; the library takes their
// size in bytes.
const DWORD kDeviceIdChars = 10;
const DWORD kInfoChars = 512;
const DWORD kModelChars = 256;
const DWORD kNoItem = 0xFFFFFFFF;

// The four fields of a composed firmware backup name and their lengths.
const int kDeviceMax = 5;
const int kFunctionMax = 1;
const int kVariantMax = 2;
const int kExtensionMax = 3;

struct KindInfo {
    DWORD nKind;
    const wchar_t* pszName;    // display name for "%1"
    UINT nFilterId;            // filter string
    const wchar_t* pszDefExt;  // default extension of the file dialogs
    DWORD nDeviceIdItem;       // IvroGetRavlaText item of the device's filter entry
    DWORD nInfoItem;           // IvroGetVersionText item of the composed name
    const wchar_t* pszDevice;  // composed name defaults
    const wchar_t* pszVariant;
    const wchar_t* pszExtension;
};

const KindInfo kKinds[] = {
    {TK_KCF, L"KCF", IDS_FILTER_KCF, L"kcf", kNoItem, kNoItem, nullptr, nullptr, nullptr},
    {TK_BIOS, L"BIOS ROM", IDS_FILTER_ROM, L"rom", kNoItem, kNoItem, nullptr, nullptr, nullptr},
    {TK_FPGA, L"FPGA", IDS_FILTER_PCI, nullptr, 22, 4, L"fpga", L"1", L"pci"},
    {TK_RAVLA_SLOT1, L"Ravla", IDS_FILTER_PCI, nullptr, 4, 5, L"ravla", L"0", L"pci"},
    {TK_RAVLA_SLOT2, L"Ravla", IDS_FILTER_PCI, nullptr, 5, 6, L"ravla", L"0", L"pci"},
    {TK_FPGA1, L"FPGA", IDS_FILTER_FP, nullptr, 23, 7, L"fpga1", L"1", L"fp"},
    {TK_USERLOGO, L"Userlogo ROM", IDS_FILTER_ROM, L"rom", kNoItem, kNoItem, nullptr, nullptr,
     nullptr},
};

const KindInfo* FindKind(DWORD nKind) {
    for (const KindInfo& info : kKinds)
        if (info.nKind == nKind) return &info;
    return nullptr;
}

struct CheckResultTexts {
    DWORD nCode;
    UINT nDownloadId;
    UINT nUploadId;
};

// Check result 2 (older version) has no message: the download asks while it runs.
const CheckResultTexts kCheckResults[] = {
    {1, IDS_FILE_BAD_SIZE, IDS_DATA_BAD_SIZE},
    {3, IDS_FILE_VERSION_TOO_LOW, IDS_DATA_VERSION_TOO_LOW},
    {4, IDS_FILE_VERSION_TOO_HIGH, IDS_DATA_VERSION_TOO_HIGH},
    {5, IDS_FILE_WRONG_KIND, IDS_DATA_WRONG_KIND},
    {6, IDS_FILE_WRONG_DEVICE, IDS_DATA_WRONG_DEVICE},
    {7, IDS_FILE_BAD_CHECKSUM, IDS_DATA_BAD_CHECKSUM},
};

// Message 1166 when the kind was downloaded in this run of the module: the
// device still reports the old data. TRUE if it was shown.
BOOL WarnIfUpdated(DWORD nKind) {
    const BOOL* pbUpdated = GetUpdatedFlag(GetCplApp(), nKind);
    if (!pbUpdated || !*pbUpdated) return FALSE;
    AfxMessageBox(IDS_DATA_UPDATED_BEFORE, MB_OK);
    return TRUE;
}

void CopyField(wchar_t* pszField, const wchar_t* pszValue) {
    std::wcscpy(pszField, pszValue);
}

CString ComposedBackupName(const KindInfo& kind) {
    wchar_t szDevice[kDeviceMax + 1];
    wchar_t szFunction[kFunctionMax + 1];
    wchar_t szVariant[kVariantMax + 1];
    wchar_t szExtension[kExtensionMax + 1];
    CopyField(szDevice, kind.pszDevice);
    CopyField(szFunction, L"_");
    CopyField(szVariant, kind.pszVariant);
    CopyField(szExtension, kind.pszExtension);

    CString info;
    if (!WarnIfUpdated(kind.nKind) &&
        ReadDeviceText(&IvroGetVersionText, kind.nInfoItem, kInfoChars * sizeof(WCHAR), info)) {
        GetInfoAttribute(info, info.GetLength(), L"Dev", szDevice, kDeviceMax);
        GetInfoAttribute(info, info.GetLength(), L"Fct", szFunction, kFunctionMax);
        GetInfoAttribute(info, info.GetLength(), L"Var", szVariant, kVariantMax);
        GetInfoAttribute(info, info.GetLength(), L"Use", szExtension, kExtensionMax);
    }
    CString name;
    name.Format(L"%ls%ls%ls.%ls", szDevice, szFunction, szVariant, szExtension);
    return name;
}

CString KeyConfigurationName() {
    CString model;
    if (!ReadDeviceText(&IvroGetFactoryText, 14, kModelChars * sizeof(WCHAR), model))
        return L"saved.kcf";
    CString name;
    name.Format(L"%ls.kcf", model.GetString());
    return name;
}

CString BootLogoName() {
    CString info;
    if (WarnIfUpdated(TK_USERLOGO) ||
        !ReadDeviceText(&IvroGetUserLogoText, 0, kInfoChars * sizeof(WCHAR), info))
        return L"userlogo.rom";
    int nDot = info.Find(L'.');
    return (nDot < 0 ? info : info.Left(nDot)) + L".rom";
}

// A name the device's texts made can hold what no file name may: a drive,
// folders, wildcards, control characters. Each becomes '_', so that the Save
// As dialog proposes a file in its folder and nothing else.
CString PlainFileName(const CString& name) {
    CString plain;
    for (const wchar_t* p = name; *p; ++p)
        plain += (*p < 0x20 || std::wcschr(L"\\/:*?\"<>|", *p)) ? L'_' : *p;
    return plain;
}

// Copies a path into the request field, cut to the field's size.
void CopyPath(WCHAR (&szPath)[CTransferDlg::kMaxPathChars + 1], const CString& path) {
    std::wcsncpy(szPath, path, CTransferDlg::kMaxPathChars);
    szPath[CTransferDlg::kMaxPathChars] = L'\0';
}

}  // namespace

INT_PTR StartTransfer(BOOL bDownload, DWORD nKind) {
    CString filter = GetTransferFilter(bDownload, nKind);
    CString proposed;
    if (!bDownload) proposed = GetProposedBackupName(nKind);

    // The file dialogs' only options: an existing file to read from, or a
    // question before a file is overwritten.
    CFileDialog fileDialog(bDownload, GetTransferDefaultExtension(nKind),
                           bDownload ? nullptr : proposed.GetString(),
                           bDownload ? OFN_FILEMUSTEXIST : OFN_OVERWRITEPROMPT, filter);
    if (fileDialog.DoModal() != IDOK) return IDCANCEL;

    CTransferDlg transfer;
    transfer.m_bDownload = bDownload;
    transfer.m_nKind = nKind;
    CopyPath(transfer.m_szPath, fileDialog.GetPathName());
    INT_PTR nResult = transfer.DoModal();

    if (bDownload && nResult == IDOK) {
        if (BOOL* pbUpdated = GetUpdatedFlag(GetCplApp(), nKind)) *pbUpdated = TRUE;
    }
    return nResult;
}

const wchar_t* GetTransferKindName(DWORD nKind) {
    const KindInfo* pKind = FindKind(nKind);
    return pKind ? pKind->pszName : L"";
}

BOOL* GetUpdatedFlag(CCplApp& app, DWORD nKind) {
    switch (nKind) {
        case TK_BIOS:
            return &app.m_bBiosUpdated;
        case TK_FPGA:
            return &app.m_bFpgaUpdated;
        case TK_FPGA1:
            return &app.m_bFpga1Updated;
        case TK_RAVLA_SLOT1:
            return &app.m_bRavlaSlot1Updated;
        case TK_RAVLA_SLOT2:
            return &app.m_bRavlaSlot2Updated;
        case TK_USERLOGO:
            return &app.m_bUserLogoUpdated;
        default:
            return nullptr;
    }
}

CString GetTransferFilter(BOOL bDownload, DWORD nKind) {
    const KindInfo* pKind = FindKind(nKind);
    if (!pKind) return CString();
    CString filter;
    filter.LoadString(pKind->nFilterId);
    if (!bDownload || pKind->nDeviceIdItem == kNoItem) return filter;

    // An ID with a '|' would split the entry and shift every pair after it.
    CString id;
    if (!ReadDeviceText(&IvroGetRavlaText, pKind->nDeviceIdItem, kDeviceIdChars * sizeof(WCHAR),
                        id) ||
        id.IsEmpty() || id.Find(L'|') >= 0)
        return filter;
    CString format;
    format.LoadString(IDS_FILTER_DEVICE_FPGA);
    const wchar_t* args[2] = {id, pKind->pszExtension};
    return AfxFormatStrings(format, args, 2) + filter;
}

const wchar_t* GetTransferDefaultExtension(DWORD nKind) {
    const KindInfo* pKind = FindKind(nKind);
    return pKind ? pKind->pszDefExt : nullptr;
}

CString GetProposedBackupName(DWORD nKind) {
    switch (nKind) {
        case TK_KCF:
            return PlainFileName(KeyConfigurationName());
        case TK_BIOS:
            WarnIfUpdated(TK_BIOS);
            return L"zelbo.rom";
        case TK_USERLOGO:
            return PlainFileName(BootLogoName());
        default:
            break;
    }
    const KindInfo* pKind = FindKind(nKind);
    return pKind ? PlainFileName(ComposedBackupName(*pKind)) : CString();
}

UINT GetCheckResultTextId(BOOL bDownload, DWORD nCheckResult) {
    for (const CheckResultTexts& texts : kCheckResults)
        if (texts.nCode == nCheckResult) return bDownload ? texts.nDownloadId : texts.nUploadId;
    return 0;
}

int GetInfoAttribute(const wchar_t* pszText, int nLength, const wchar_t* pszKey, wchar_t* pszField,
                     int nMax) {
    if (!pszText || !pszKey || !pszField || nLength <= 0) return -1;
    const int nKey = static_cast<int>(std::wcslen(pszKey));
    auto upper = [](wchar_t ch) { return std::towupper(static_cast<wint_t>(ch)); };

    int nFound = -1;
    for (int i = 0; nFound < 0 && i + nKey <= nLength; ++i) {
        int k = 0;
        while (k < nKey && upper(pszText[i + k]) == upper(pszKey[k])) ++k;
        if (k == nKey) nFound = i;
    }
    if (nFound < 0) return -1;

    int nPos = nFound + nKey;
    if (nPos + 1 >= nLength || pszText[nPos] != L'=' || pszText[nPos + 1] != L'"') return -1;
    nPos += 2;

    // A zero character ends the text as its length does.
    int nCopied = 0;
    while (nCopied < nMax && nPos < nLength && pszText[nPos] != L'"' && pszText[nPos] != L'\0')
        pszField[nCopied++] = pszText[nPos++];
    pszField[nCopied] = L'\0';
    return (nPos < nLength && pszText[nPos] == L'"' && nCopied > 0) ? nFound : -1;
}
