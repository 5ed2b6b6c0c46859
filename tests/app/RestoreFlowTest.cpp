// "Restore...": which chooser, which question, which copy and which message, in which order.
#include <gtest/gtest.h>

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
class FakeUi : public Vorlaq::RestoreUi {
public:
    std::wstring fileChoice;   // empty: cancel
    std::wstring folderChoice; // empty: cancel
    bool chooserOk = true;
    bool answerYes = true;
    std::map<uint64_t, bool> restoreResults;  // default: success
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
    bool Restore(const std::wstring& volume, uint64_t record, const std::wstring& destination) override
    {
        transcript.push_back(L"restore:" + volume + L"|" + std::to_wstring(record) + L"|" + destination);
        auto it = restoreResults.find(record);
        return it == restoreResults.end() || it->second;
    }
    bool RestoreInto(const std::wstring& volume, uint64_t record, const std::wstring& folder, const std::wstring& name,
                     std::wstring* destination) override
    {
        // Numbered like the engine does for a name already taken in this run.
        const std::wstring path = folder + L"\\" + name;
        const int n = taken_[path]++;
        *destination = n == 0 ? path : path + L"_" + std::to_wstring(n - 1);
        return Restore(volume, record, *destination);
    }

private:
    std::map<std::wstring, int> taken_;
};

using Transcript = std::vector<std::wstring>;

}  // namespace

TEST(RestoreFlow, NothingSelectedOnlySaysSo)
{
    FakeUi ui;
    Vorlaq::RunRestore({}, ui);
    EXPECT_EQ(Transcript{L"tell:Please select deleted file(s) to restore. "}, ui.transcript);
}

TEST(RestoreFlow, OneFileToAnotherDriveIsRestoredWithoutAQuestion)
{
    FakeUi ui;
    ui.fileChoice = L"E:\\out\\report.docx";
    Vorlaq::RunRestore({File(L"D:\\", 52731, L"report.docx")}, ui);
    EXPECT_EQ((Transcript{L"save:report.docx", L"restore:D:\\|52731|E:\\out\\report.docx",
                          L"tell:File restored: E:\\out\\report.docx. "}),
              ui.transcript);
}

TEST(RestoreFlow, OneFileOnTheSameDriveAsksAndNoStops)
{
    FakeUi ui;
    ui.fileChoice = L"d:\\copy.txt";  // the drive letter's case does not matter
    ui.answerYes = false;
    Vorlaq::RunRestore({File(L"D:\\", 40, L"a.txt")}, ui);
    EXPECT_EQ((Transcript{L"save:a.txt", std::wstring(L"ask:") + kSameDrive}), ui.transcript);
}

TEST(RestoreFlow, OneFileOnTheSameDriveWithYesIsRestoredAndAFailureIsShown)
{
    FakeUi ui;
    ui.fileChoice = L"D:\\copy.txt";
    ui.restoreResults[40] = false;
    Vorlaq::RunRestore({File(L"D:\\", 40, L"a.txt")}, ui);
    EXPECT_EQ((Transcript{L"save:a.txt", std::wstring(L"ask:") + kSameDrive, L"restore:D:\\|40|D:\\copy.txt",
                          L"tell:Failed to restore file: D:\\copy.txt. "}),
              ui.transcript);
}

TEST(RestoreFlow, CancelledOrEmptySaveChoiceDoesNothingMore)
{
    FakeUi cancelled;
    cancelled.chooserOk = false;
    cancelled.fileChoice = L"E:\\x";
    Vorlaq::RunRestore({File(L"D:\\", 40, L"a.txt")}, cancelled);
    EXPECT_EQ(Transcript{L"save:a.txt"}, cancelled.transcript);

    FakeUi empty;
    Vorlaq::RunRestore({File(L"D:\\", 40, L"a.txt")}, empty);
    EXPECT_EQ(Transcript{L"save:a.txt"}, empty.transcript);
}

TEST(RestoreFlow, SeveralFilesGoIntoTheFolderUnderUniqueNamesAndTheTotalCountsSuccesses)
{
    LogCapture log;
    FakeUi ui;
    ui.folderChoice = L"E:\\saved";
    ui.restoreResults[30] = false;
    // The second row names another volume: the whole operation uses the first row's.
    Vorlaq::RunRestore({File(L"D:\\", 20, L"a.txt"), File(L"C:\\", 30, L"a.txt"), File(L"D:\\", 40, L"a.txt")}, ui);
    EXPECT_EQ((Transcript{L"folder", L"restore:D:\\|20|E:\\saved\\a.txt", L"restore:D:\\|30|E:\\saved\\a.txt_0",
                          L"restore:D:\\|40|E:\\saved\\a.txt_1", L"tell:Total 2 files restored. "}),
              ui.transcript);
    EXPECT_EQ(1u, log.Count(LogCapture::Error(L"Failed to restore file: E:\\saved\\a.txt_0. ")));
}

TEST(RestoreFlow, SeveralFilesAllFailingStillShowTheTotal)
{
    FakeUi ui;
    ui.folderChoice = L"E:\\saved";
    ui.restoreResults = {{1, false}, {2, false}};
    Vorlaq::RunRestore({File(L"D:\\", 1, L"a"), File(L"D:\\", 2, L"b")}, ui);
    EXPECT_EQ(L"tell:Total 0 files restored. ", ui.transcript.back());
}

TEST(RestoreFlow, SeveralFilesOnTheSameDriveAskOnceAndNoStops)
{
    FakeUi ui;
    ui.folderChoice = L"D:\\saved";
    ui.answerYes = false;
    Vorlaq::RunRestore({File(L"D:\\", 1, L"a"), File(L"D:\\", 2, L"b")}, ui);
    EXPECT_EQ((Transcript{L"folder", std::wstring(L"ask:") + kSameDrive}), ui.transcript);

    FakeUi yes;
    yes.folderChoice = L"D:\\saved";
    Vorlaq::RunRestore({File(L"D:\\", 1, L"a"), File(L"D:\\", 2, L"b")}, yes);
    EXPECT_EQ(1, std::count(yes.transcript.begin(), yes.transcript.end(), std::wstring(L"ask:") + kSameDrive));
    EXPECT_EQ(L"tell:Total 2 files restored. ", yes.transcript.back());
}

TEST(RestoreFlow, CancelledFolderChoiceDoesNothingMore)
{
    FakeUi ui;
    ui.chooserOk = false;
    ui.folderChoice = L"E:\\x";
    Vorlaq::RunRestore({File(L"D:\\", 1, L"a"), File(L"D:\\", 2, L"b")}, ui);
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
