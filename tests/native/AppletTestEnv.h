// A clean world for each applet test: fake platform, headless windows and a
// simulated device with steady values, plus the application object that a
// module load constructs.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "applet/CplApp.h"
#include "framework/headless/Headless.h"
#include "platform/fake/FakePlatform.h"
#include "simulator/TmIvroSim.h"

class AppletTest : public ::testing::Test {
protected:
    void SetUp() override {
        fakeplat::Reset();
        headless::Reset();
        TmSimReset();
        TmSimSet("temperature.drift", "0");
        TmSimSet("keys.demo_interval", "0");
        TmSimSet("transfer.duration", "0");
        TmSimClearCallLog();
        // The applet's own module, from which its resources are loaded.
        AfxSetResourceHandle(
            fakeplat::RegisterModule(L"C:\\Windows\\System32\\TmRoveVodore.cpl", {}, true));
    }
    void TearDown() override {
        m_pApp.reset();
        headless::Reset();
    }

    // Loads the module: constructs the application object now, so that the
    // help-file search sees the fake file system as the test set it up.
    CCplApp& LoadModule() {
        m_pApp.reset();
        m_pApp = std::make_unique<CCplApp>();
        return *m_pApp;
    }

    // Call log lines of one operation.
    static std::vector<std::string> CallsOf(const std::string& strOperation) {
        std::vector<std::string> calls;
        for (const std::string& line : TmSimCallLogLines())
            if (line.compare(0, strOperation.size() + 1, strOperation + " ") == 0)
                calls.push_back(line);
        return calls;
    }

    std::unique_ptr<CCplApp> m_pApp;
};
