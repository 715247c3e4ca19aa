#include "support/Logger.h"

#include "MemoryListControl.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <memory>
#include <stdexcept>
#include <utf8.h>

using testing::ElementsAre;

namespace {

class LoggerTest : public testing::Test {
protected:
    void TearDown() override { getLogger().setListBox(nullptr); }

    std::shared_ptr<MemoryListControl> attach() {
        auto list = std::make_shared<MemoryListControl>();
        getLogger().setListBox(list);
        return list;
    }
};

// A line written while no list is attached goes nowhere: not into a list attached before, nor
// into one attached afterwards.
TEST_F(LoggerTest, LinesWhileNoListIsAttachedAreDiscardedQuietly) {
    EXPECT_EQ(&getLogger(), &getLogger());
    auto list = attach();
    getLogger().write("C_GetFunctionList -> CKR_OK");
    getLogger().setListBox(nullptr);
    EXPECT_NO_THROW(getLogger().write("C_Finalize -> CKR_OK"));
    getLogger().setListBox(list);
    EXPECT_THAT(list->lines(), ElementsAre("C_GetFunctionList -> CKR_OK"));
    EXPECT_EQ(list->selection(), 0);
}

TEST_F(LoggerTest, LinesKeepTheirOrderAndTheNewestIsSelected) {
    auto list = attach();
    Logger& log = getLogger();
    log.write("C_Initialize -> CKR_OK");
    EXPECT_EQ(list->selection(), 0);
    log.write("C_GetSlotList -> CKR_BUFFER_TOO_SMALL");
    log.write("");
    log.write("Журнал");
    EXPECT_THAT(list->lines(), ElementsAre("C_Initialize -> CKR_OK",
                                           "C_GetSlotList -> CKR_BUFFER_TOO_SMALL", "", "Журнал"));
    EXPECT_EQ(list->selection(), 3);
}

TEST_F(LoggerTest, ARefusedLineIsLostWithTheListsOwnReason) {
    auto list = attach();
    getLogger().write("first");
    list->failNextAppend(LogListControl::kNoSpace);
    try {
        getLogger().write("second");
        FAIL() << "no exception";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "Insufficient space to write log");
    }
    list->failNextAppend(LogListControl::kFailed);
    try {
        getLogger().write("third");
        FAIL() << "no exception";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "Failed to write log");
    }
    EXPECT_THAT(list->lines(), ElementsAre("first"));
    EXPECT_EQ(list->selection(), 0);
}

TEST_F(LoggerTest, MalformedTextIsRefusedBeforeTheList) {
    auto list = attach();
    EXPECT_THROW(getLogger().write("C_Login -> \xC3"), utf8::exception);
    EXPECT_THROW(getLogger().write("\xFF"), utf8::invalid_utf8);
    EXPECT_TRUE(list->lines().empty());
    getLogger().setListBox(nullptr);
    EXPECT_THROW(getLogger().write("\xFF"), utf8::invalid_utf8);
}

} // namespace
