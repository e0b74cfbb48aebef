#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

#include "core/DetectionJournal.h"
#include "core/DetectionTable.h"

namespace {

// Each test starts as a fresh process would: no detection file of an earlier test for
// a forwarder to follow, no record left in the table. (ctest runs each test in a
// process of its own; a whole binary run by hand shares one.)
class FreshDetectionState : public ::testing::EmptyTestEventListener {
    void OnTestStart(const ::testing::TestInfo&) override {
        lv::DetectionTable& table = lv::DetectionTable::Instance();
        table.Journal().Close();
        table.Journal().ForgetSessionsForTests();
        table.ClearTable();
    }
};

}  // namespace

int main(int argc, char** argv) {
    // Tests never depend on the machine's zone.
    setenv("TZ", "Europe/Paris", 1);
    tzset();
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::UnitTest::GetInstance()->listeners().Append(new FreshDetectionState);
    return RUN_ALL_TESTS();
}
