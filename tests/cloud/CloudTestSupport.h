#pragma once
// A data folder with its settings file, and the cloud simulator over real TLS on
// loopback with a certificate made once per test (its CA trusted by the connection).
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "base/Environment.h"
#include "base/Log.h"
#include "base/Settings.h"
#include "base/SettingsSchema.h"
#include "base/Texts.h"
#include "cloud/CloudClient.h"
#include "support/DataFolderFixture.h"
#include "support/SimulatorProcess.h"
#include "support/TempFolder.h"

namespace lv::test {

class CloudFixture : public DataFolderFixture {
protected:
    void SetUp() override {
        DataFolderFixture::SetUp();
        setting::CustomerId.Write("1001");
        setting::ApiKey.Write("demo-key");
    }

    // Starts a simulator with these extra options; false when it did not start.
    SimulatorProcess& StartCloud(std::vector<std::string> options = {}, const std::string& tlsDir = "tls") {
        options.insert(options.end(), {"--tls-dir", folder / tlsDir, "--request-log", folder / "requests.log"});
        sims.push_back(std::make_unique<SimulatorProcess>("cloud", options));
        EXPECT_TRUE(sims.back()->Running());
        return *sims.back();
    }

    // A connection to `sim` trusting the certificate of `tlsDir`, at a fixed instant.
    CloudConnection ConnectionTo(const SimulatorProcess& sim, const std::string& tlsDir = "tls") {
        CloudConnection connection;
        connection.baseUrl = "https://127.0.0.1:" + std::to_string(sim.Port());
        connection.caFile = folder / (tlsDir + "/cert.pem");
        connection.now = [this] { return now; };
        return connection;
    }

    // The simulator's request log lines.
    std::vector<std::string> Requests() const {
        std::vector<std::string> lines;
        const std::string text = ReadFile(folder / "requests.log");
        std::size_t start = 0;
        while (start < text.size()) {
            std::size_t end = text.find('\n', start);
            if (end == std::string::npos) end = text.size();
            lines.push_back(text.substr(start, end - start));
            start = end + 1;
        }
        return lines;
    }
    int CountRequests(const std::string& prefix) const {
        int count = 0;
        for (const std::string& line : Requests()) count += line.rfind(prefix, 0) == 0 ? 1 : 0;
        return count;
    }

    std::vector<std::unique_ptr<SimulatorProcess>> sims;
    std::time_t now = 1714557900;  // 2024-05-01 12:05:00 in Paris (10:05 UTC)
};

}  // namespace lv::test
