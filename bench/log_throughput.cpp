// Messages per second through Log (window store + file line) from one and from four
// threads, as the box threads and the user-interface thread log during a race.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "base/Log.h"
#include "base/NamedMutex.h"
#include "support/TempFolder.h"

namespace {

double Run(int threads, int perThread) {
    const auto start = std::chrono::steady_clock::now();
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t) {
        workers.emplace_back([t, perThread] {
            for (int i = 0; i < perThread; ++i) {
                lv::Log(100, ">> box " + std::to_string(t) + " #" + std::to_string(i) + " 0000017A3F 12:01:02.345");
            }
        });
    }
    for (auto& worker : workers) worker.join();
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return threads * perThread / seconds;
}

}  // namespace

int main() {
    lv::test::TempFolder folder;
    lv::Logger& logger = lv::Logger::Instance();
    logger.SetFilePath(folder / "Lumivane.log");
    logger.SetWindowLevel(100);
    logger.SetWindowOpen(true);

    std::printf("log, 1 thread:                       %10.0f messages/s\n", Run(1, 20000));
    std::printf("log, 4 threads:                      %10.0f messages/s\n", Run(4, 500));
    lv::GetResourceMutex(lv::ResourceMutexId::LogWin).SetEnabled(false);
    std::printf("log, 4 threads, LogWin switched off: %10.0f messages/s\n", Run(4, 5000));
    return 0;
}
