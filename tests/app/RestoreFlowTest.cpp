// "Restore...": which chooser, which question, which copy and which message, in which order.
#include <gtest/gtest.h>

#include <atomic>
#include <deque>
#include <map>

#include "app/RestoreFlow.h"
#include "tests/support/LogCapture.h"

using QuorretTest::LogCapture;

using Vorlaq::DeletedFileInfo;

namespace {

constexpr const wchar_t* kSameDrive =
    L"Are you sure to save the restored file(s) to the same drive? \r\nYou may get corrupted data! ";

DeletedFileInfo File(const wchar_t* volume, uint64_t record, const wchar_t* name)
{
    return DeletedFileInfo(volume, record, name, L"D:\\Docs\\", 10, nullptr, nullptr, nullptr);
}

// Plays the user and the disk; records everything it was asked in one transcript.
class FakeUi : public Vorlaq::RestoreUi, public Vorlaq::RestoreCopier {
public:
    std::wstring fileChoice;   // empty: cancel
    std::wstring folderChoice; // empty: cancel
    bool chooserOk = true;
    bool answerYes = true;
    std::map<uint64_t, bool> restoreResults;  // default: success
    std::map<uint64_t, std::wstring> partials;  // what a failed file keeps
    std::vector<std::wstring> transcript;

    bool ChooseFile(const std::wstring& proposed, std::wstring* path) override
    {
        transcript.push_back(L"save:" + proposed);
        *path = fileChoice;
        return chooserOk;
    }
    bool ChooseFolder(std::wstring* folder) override
    {
        transcript.push_back(L"folder");
        *folder = folderChoice;
        return chooserOk;
    }
    bool AskYesNo(const std::wstring& text) override
    {
        transcript.push_back(L"ask:" + text);
        return answerYes;
    }
    void Tell(const std::wstring& text) override { transcript.push_back(L"tell:" + text); }
    Vorlaq::FileRestoreResult Restore(const std::wstring& volume, uint64_t record,
                                      const std::wstring& destination) override
    {
        transcript.push_back(L"restore:" + volume + L"|" + std::to_wstring(record) + L"|" + destination);
        auto it = restoreResults.find(record);
        Vorlaq::FileRestoreResult result;
        result.ok = it == restoreResults.end() || it->second;
        result.destination = destination;
        if (!result.ok) {
            result.reason = L"Disk is full";
            result.partial = partials[record];
        }
        return result;
    }
    Vorlaq::FileRestoreResult RestoreInto(const std::wstring& volume, uint64_t record, const std::wstring& folder,
                                          const std::wstring& name) override
    {
        // Numbered like the engine does for a name already taken in this run.
        const std::wstring path = folder + L"\\" + name;
        const int n = taken_[path]++;
        return Restore(volume, record, n == 0 ? path : path + L"_" + std::to_wstring(n - 1));
    }

private:
    std::map<std::wstring, int> taken_;
};

using Transcript = std::vector<std::wstring>;

// The whole restore on the test's thread: plan, copies, summary, as the window's worker runs them.
void RunRestore(const std::vector<DeletedFileInfo>& selected, Vorlaq::RestoreUi& ui, Vorlaq::RestoreCopier& copier)
{
    Vorlaq::RestorePlan plan;
    if (Vorlaq::PlanRestore(selected, ui, &plan))
        ui.Tell(Vorlaq::RestoreSummary(plan, Vorlaq::RunRestorePlan(plan, copier)));
}

}  // namespace

TEST(RestoreFlow, NothingSelectedOnlySaysSo)
{
    FakeUi ui;
    RunRestore({}, ui, ui);
    EXPECT_EQ(Transcript{L"tell:Please select deleted file(s) to restore. "}, ui.transcript);
}

TEST(RestoreFlow, OneFileToAnotherDriveIsRestoredWithoutAQuestion)
{
    FakeUi ui;
    ui.fileChoice = L"E:\\out\\report.docx";
    RunRestore({File(L"D:\\", 52731, L"report.docx")}, ui, ui);
    EXPECT_EQ((Transcript{L"save:report.docx", L"restore:D:\\|52731|E:\\out\\report.docx",
                          L"tell:File restored: E:\\out\\report.docx. "}),
              ui.transcript);
}

TEST(RestoreFlow, OneFileOnTheSameDriveAsksAndNoStops)
{
    FakeUi ui;
    ui.fileChoice = L"d:\\copy.txt";  // the drive letter's case does not matter
    ui.answerYes = false;
    RunRestore({File(L"D:\\", 40, L"a.txt")}, ui, ui);
    EXPECT_EQ((Transcript{L"save:a.txt", std::wstring(L"ask:") + kSameDrive}), ui.transcript);
}

TEST(RestoreFlow, OneFileOnTheSameDriveWithYesIsRestoredAndAFailureIsShown)
{
    FakeUi ui;
    ui.fileChoice = L"D:\\copy.txt";
    ui.restoreResults[40] = false;
    RunRestore({File(L"D:\\", 40, L"a.txt")}, ui, ui);
    EXPECT_EQ((Transcript{L"save:a.txt", std::wstring(L"ask:") + kSameDrive, L"restore:D:\\|40|D:\\copy.txt",
                          L"tell:Failed to restore file: D:\\copy.txt. Disk is full. "}),
              ui.transcript);
}

TEST(RestoreFlow, CancelledOrEmptySaveChoiceDoesNothingMore)
{
    FakeUi cancelled;
    cancelled.chooserOk = false;
    cancelled.fileChoice = L"E:\\x";
    RunRestore({File(L"D:\\", 40, L"a.txt")}, cancelled, cancelled);
    EXPECT_EQ(Transcript{L"save:a.txt"}, cancelled.transcript);

    FakeUi empty;
    RunRestore({File(L"D:\\", 40, L"a.txt")}, empty, empty);
    EXPECT_EQ(Transcript{L"save:a.txt"}, empty.transcript);
}

TEST(RestoreFlow, SeveralFilesGoIntoTheFolderUnderUniqueNamesAndTheTotalCountsSuccesses)
{
    LogCapture log;
    FakeUi ui;
    ui.folderChoice = L"E:\\saved";
    ui.restoreResults[30] = false;
    // The second row names another volume: the whole operation uses the first row's.
    RunRestore({File(L"D:\\", 20, L"a.txt"), File(L"C:\\", 30, L"a.txt"), File(L"D:\\", 40, L"a.txt")}, ui, ui);
    EXPECT_EQ((Transcript{L"folder", L"restore:D:\\|20|E:\\saved\\a.txt", L"restore:D:\\|30|E:\\saved\\a.txt_0",
                          L"restore:D:\\|40|E:\\saved\\a.txt_1",
                          L"tell:Total 2 files restored. \r\n1 files failed:\r\nE:\\saved\\a.txt_0: Disk is full"}),
              ui.transcript);
    EXPECT_EQ(1u, log.Count(LogCapture::Error(L"Failed to restore file: E:\\saved\\a.txt_0. ")));
}

TEST(RestoreFlow, SeveralFilesAllFailingStillShowTheTotal)
{
    FakeUi ui;
    ui.folderChoice = L"E:\\saved";
    ui.restoreResults = {{1, false}, {2, false}};
    RunRestore({File(L"D:\\", 1, L"a"), File(L"D:\\", 2, L"b")}, ui, ui);
    EXPECT_EQ(L"tell:Total 0 files restored. \r\n2 files failed:\r\nE:\\saved\\a: Disk is full\r\n"
              L"E:\\saved\\b: Disk is full",
              ui.transcript.back());
}

TEST(RestoreFlow, SeveralFilesOnTheSameDriveAskOnceAndNoStops)
{
    FakeUi ui;
    ui.folderChoice = L"D:\\saved";
    ui.answerYes = false;
    RunRestore({File(L"D:\\", 1, L"a"), File(L"D:\\", 2, L"b")}, ui, ui);
    EXPECT_EQ((Transcript{L"folder", std::wstring(L"ask:") + kSameDrive}), ui.transcript);

    FakeUi yes;
    yes.folderChoice = L"D:\\saved";
    RunRestore({File(L"D:\\", 1, L"a"), File(L"D:\\", 2, L"b")}, yes, yes);
    EXPECT_EQ(1, std::count(yes.transcript.begin(), yes.transcript.end(), std::wstring(L"ask:") + kSameDrive));
    EXPECT_EQ(L"tell:Total 2 files restored. ", yes.transcript.back());
}

TEST(RestoreFlow, CancelledFolderChoiceDoesNothingMore)
{
    FakeUi ui;
    ui.chooserOk = false;
    ui.folderChoice = L"E:\\x";
    RunRestore({File(L"D:\\", 1, L"a"), File(L"D:\\", 2, L"b")}, ui, ui);
    EXPECT_EQ(Transcript{L"folder"}, ui.transcript);
}

TEST(RestoreFlow, SameDriveComparesFirstCharactersIgnoringCase)
{
    EXPECT_TRUE(Vorlaq::IsSameDrive(L"C:\\", L"c:\\out"));
    EXPECT_TRUE(Vorlaq::IsSameDrive(L"c:\\", L"C:\\"));
    EXPECT_FALSE(Vorlaq::IsSameDrive(L"C:\\", L"D:\\out"));
    EXPECT_FALSE(Vorlaq::IsSameDrive(L"C:\\", L""));
    EXPECT_FALSE(Vorlaq::IsSameDrive(L"", L"C:\\"));
}

TEST(RestoreFlow, TheSummaryNamesFailuresWithWhatTheyKeepListsTheFirstFewAndCountsWhatAStopLeft)
{
    using Vorlaq::FileRestoreResult;
    Vorlaq::RestorePlan plan;
    plan.folder = L"G:\\";
    for (uint64_t r = 0; r < 9; ++r)
        plan.files.push_back(File(L"D:\\", 100 + r, L"f"));
    std::vector<FileRestoreResult> results(8);
    results[0].ok = true;
    for (size_t i = 1; i < 8; ++i) {
        results[i].destination = L"G:\\f" + std::to_wstring(i);
        results[i].reason = i == 1 ? L"Disk is full" : L"Record now in use";
    }
    results[1].partial = L"102400 of 1638400 bytes kept";
    EXPECT_EQ(L"Total 1 files restored. \r\n7 files failed:"
              L"\r\nG:\\f1: Disk is full (102400 of 1638400 bytes kept)\r\nG:\\f2: Record now in use"
              L"\r\nG:\\f3: Record now in use\r\nG:\\f4: Record now in use\r\nG:\\f5: Record now in use"
              L"\r\n2 more failed: see the log.\r\nStopped: 1 files not restored.",
              Vorlaq::RestoreSummary(plan, results));

    // A stop before the first file is checked: nothing is copied, and the message says so.
    FakeUi ui;
    std::atomic<bool> stop{true};
    std::atomic<size_t> done{0};
    EXPECT_TRUE(Vorlaq::RunRestorePlan(plan, ui, &stop, &done).empty());
    EXPECT_EQ(0u, done.load());
    Vorlaq::RestorePlan one;
    one.path = L"E:\\x.jpg";
    one.files.push_back(File(L"D:\\", 7, L"x.jpg"));
    results.resize(1);
    results[0] = FileRestoreResult{false, L"E:\\x.jpg", L"Disk is full", L"4096 of 9000 bytes kept"};
    EXPECT_EQ(L"Failed to restore file: E:\\x.jpg. Disk is full (4096 of 9000 bytes kept). ",
              Vorlaq::RestoreSummary(one, results));
    EXPECT_EQ(L"Failed to restore file: E:\\x.jpg. Stopped. ", Vorlaq::RestoreSummary(one, {}));
}
