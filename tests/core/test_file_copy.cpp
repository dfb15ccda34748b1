// Copying dropped files and folders into a folder: what arrives, the questions before a
// replacement, cancel and a full disk leaving no partial file, times kept, and the folder that
// may not be copied into itself.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "support/copy_observer.h"
#include "support/leftover_files.h"
#include "support/song_fixtures.h"
#include "util/unitFileCopy.h"
#include "util/unitFileMove.h"
#include "util/unitUtils.h"

namespace {

using Names = std::vector<std::string>;
using song_fixtures::cMessageRecorder;

void SetModifiedSeconds(const std::string& path, int64_t seconds) {
    const timespec times[2] = {{0, UTIME_OMIT}, {static_cast<time_t>(seconds), 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW), 0);
}

class FileCopy : public ::testing::Test {
protected:
    FileCopy() {
        std::filesystem::create_directories(m_Folder / "from");
        std::filesystem::create_directories(m_Folder / "to");
    }
    std::string From(const std::string& name) const { return m_Folder / ("from/" + name); }
    std::string To(const std::string& name) const { return m_Folder / ("to/" + name); }
    std::string Target() const { return m_Folder / "to/"; }
    Names TargetEntries() const {
        Names names;
        for (const auto& entry : std::filesystem::directory_iterator(m_Folder / "to")) {
            names.push_back(entry.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    cTempFolder m_Folder;
    cScriptedCopyObserver m_Observer;
};

} // namespace

TEST_F(FileCopy, FilesAndFoldersArriveWithTheirTimesAndLinksStayLinks) {
    WriteBytes(From("a.mp3"), "song a");
    SetModifiedSeconds(From("a.mp3"), 1000000000);
    Touch(From("album/cd1/b.mp3"));
    WriteBytes(From("album/c.mp3"), std::string(3 << 20, 'c')); // several pieces
    SetModifiedSeconds(From("album/c.mp3"), 1200000000);
    ASSERT_EQ(::symlink("c.mp3", From("album/link.mp3").c_str()), 0);
    ASSERT_EQ(::mkfifo(From("album/pipe").c_str(), 0644), 0);
    // A dropped link is followed: its file arrives.
    ASSERT_EQ(::symlink(From("a.mp3").c_str(), From("shortcut.mp3").c_str()), 0);

    std::vector<cCopyStep> steps;
    m_Observer.OnReport = [&](const cCopyStep& step) { steps.push_back(step); };
    const cCopyOutcome outcome =
        CopyIntoFolder({From("a.mp3"), From("album/"), From("shortcut.mp3")}, Target(), m_Observer);

    EXPECT_FALSE(outcome.Cancelled);
    EXPECT_EQ(outcome.FilesCopied, 5u);
    ASSERT_EQ(outcome.Errors.size(), 1u);
    EXPECT_EQ(outcome.Errors[0], "Could not copy \"" + From("album/pipe") +
                                     "\": it is neither a file nor a folder (a pipe, device or "
                                     "socket)");
    EXPECT_EQ(TargetEntries(), Names({"a.mp3", "album", "shortcut.mp3"})) << "no temporary left";
    EXPECT_EQ(ReadBytes(To("a.mp3")), "song a");
    EXPECT_EQ(ReadBytes(To("shortcut.mp3")), "song a");
    EXPECT_EQ(ReadBytes(To("album/c.mp3")), std::string(3 << 20, 'c'));
    EXPECT_TRUE(PathExists(To("album/cd1/b.mp3")));
    EXPECT_EQ(std::filesystem::read_symlink(To("album/link.mp3")), "c.mp3");
    EXPECT_EQ(ModifiedSeconds(To("a.mp3")), 1000000000);
    EXPECT_EQ(ModifiedSeconds(To("album/c.mp3")), 1200000000);

    // The progress knows the whole copy from the start and ends at its total.
    ASSERT_FALSE(steps.empty());
    const uint64_t total = 2 * 6 + (3u << 20);
    EXPECT_EQ(steps.back().BytesTotal, total);
    EXPECT_EQ(steps.back().BytesDone, total);
    EXPECT_EQ(steps.back().FileCount, 5u);
    // Folders are listed first (the copy may be cancelled already then), then files copied.
    EXPECT_EQ(m_Observer.Files,
              Names({From("album"), From("album/cd1"), From("a.mp3"), From("album/c.mp3"),
                     From("album/cd1/b.mp3"), From("album/link.mp3"), From("shortcut.mp3")}));
}

TEST_F(FileCopy, AnExistingFileIsReplacedOrKeptAsAnsweredAlsoForAll) {
    for (const char* name : {"a.mp3", "b.mp3", "c.mp3", "d.mp3", "e.mp3"}) {
        WriteBytes(From(name), std::string("new ") + name);
    }
    for (const char* name : {"a.mp3", "b.mp3", "c.mp3", "e.mp3"}) {
        WriteBytes(To(name), "old");
    }
    const Names sources = {From("a.mp3"), From("b.mp3"), From("c.mp3"), From("d.mp3"),
                           From("e.mp3")};
    m_Observer.Answers = {eReplaceAnswer::Skip, eReplaceAnswer::ReplaceAll};
    cCopyOutcome outcome = CopyIntoFolder(sources, Target(), m_Observer);
    EXPECT_EQ(m_Observer.Questions, Names({To("a.mp3"), To("b.mp3")})) << "then replaced unasked";
    EXPECT_EQ(ReadBytes(To("a.mp3")), "old");
    EXPECT_EQ(ReadBytes(To("c.mp3")), "new c.mp3");
    EXPECT_EQ(ReadBytes(To("e.mp3")), "new e.mp3");
    EXPECT_EQ(outcome.FilesCopied, 4u);

    // Skip for all, and a cancel that ends the copy there.
    WriteBytes(To("c.mp3"), "old");
    m_Observer.Questions.clear();
    m_Observer.Answers = {eReplaceAnswer::SkipAll};
    CopyIntoFolder(sources, Target(), m_Observer);
    EXPECT_EQ(m_Observer.Questions.size(), 1u);
    EXPECT_EQ(ReadBytes(To("c.mp3")), "old");
    std::filesystem::remove(To("e.mp3"));
    m_Observer.Answers = {eReplaceAnswer::Cancel};
    outcome = CopyIntoFolder(sources, Target(), m_Observer);
    EXPECT_TRUE(outcome.Cancelled);
    EXPECT_FALSE(PathExists(To("e.mp3")));

    // A file copied onto itself is left alone, unasked.
    m_Observer.Questions.clear();
    outcome = CopyIntoFolder({To("a.mp3")}, Target(), m_Observer);
    EXPECT_TRUE(m_Observer.Questions.empty());
    EXPECT_EQ(ReadBytes(To("a.mp3")), "old");
    EXPECT_TRUE(outcome.Errors.empty());
}

TEST_F(FileCopy, CancelAndAFullDiskLeaveNoPartOfAFile) {
    WriteBytes(From("first.mp3"), "complete");
    WriteBytes(From("long.mp3"), std::string(3 << 20, 'x'));
    // While the long file is copied, only a hidden temporary name holds its bytes.
    bool temporaryOnly = false;
    m_Observer.OnReport = [&](const cCopyStep& step) {
        if (step.File == From("long.mp3") && step.BytesDone > 8) {
            const Names entries = TargetEntries();
            temporaryOnly = entries.size() == 2 && entries[0].rfind(".long.mp3.tunaria-", 0) == 0 &&
                            entries[1] == "first.mp3";
        }
    };
    m_Observer.CancelAtReport = 3; // first.mp3, then long.mp3 and its first piece
    cCopyOutcome outcome =
        CopyIntoFolder({From("first.mp3"), From("long.mp3")}, Target(), m_Observer);
    EXPECT_TRUE(temporaryOnly);
    EXPECT_TRUE(outcome.Cancelled);
    EXPECT_EQ(TargetEntries(), Names({"first.mp3"}));

    // A write refused half way (as on a full disk): named once, the other file still copied.
    std::filesystem::remove(To("first.mp3"));
    m_Observer.OnReport = nullptr;
    m_Observer.CancelAtReport = -1;
    {
        const cFileSizeLimit limit(1 << 20);
        outcome = CopyIntoFolder({From("long.mp3"), From("first.mp3")}, Target(), m_Observer);
    }
    EXPECT_EQ(outcome.Errors,
              Names({"Could not write \"" + To("long.mp3") + "\": File too large"}));
    EXPECT_EQ(TargetEntries(), Names({"first.mp3"}));
    EXPECT_EQ(CopyErrorsText(outcome.Errors),
              "Some files could not be copied:\n" + outcome.Errors[0]);
}

TEST_F(FileCopy, AFolderIsNeverCopiedIntoItself) {
    Touch(From("album/cd1/a.mp3"));
    std::filesystem::create_directories(From("album2"));
    ASSERT_EQ(::symlink(From("album/cd1").c_str(), (m_Folder / "cd1-link").c_str()), 0);
    const std::string refusal = "Cannot copy \"" + From("album") + "\" into \"" +
                                From("album/cd1") +
                                "\": a folder cannot be copied into itself or into one of its "
                                "subfolders.";
    EXPECT_EQ(CopyIntoItselfRefusal({From("album/")}, From("album/cd1/")), refusal);
    EXPECT_NE(CopyIntoItselfRefusal({From("album")}, From("album/")), "");
    EXPECT_NE(CopyIntoItselfRefusal({From("album")}, m_Folder / "cd1-link/"), "") << "by a link";
    EXPECT_EQ(CopyIntoItselfRefusal({From("album")}, From("album2/")), "") << "a mere prefix";
    EXPECT_EQ(CopyIntoItselfRefusal({From("album/cd1/a.mp3")}, From("album/cd1/")), "");

    cMessageRecorder messages;
    bool opened = false;
    const auto open = [&]() -> std::unique_ptr<cCopyObserver> {
        opened = true;
        return std::make_unique<cForwardingCopyObserver>(m_Observer);
    };
    CopyFilesIntoFolder({From("album")}, From("album/cd1/"), open);
    EXPECT_EQ(messages.Messages(), Names({refusal}));
    EXPECT_FALSE(opened);
    EXPECT_FALSE(PathExists(From("album/cd1/album")));

    // Paths already in the target folder are not copied, and no progress is opened for them;
    // a path in a subfolder of the target is copied.
    CopyFilesIntoFolder({From("album/cd1/a.mp3"), From("album/cd1/")}, From("album/cd1/"), open);
    EXPECT_FALSE(opened);
    CopyFilesIntoFolder({From("album/cd1/a.mp3")}, From("album/"), open);
    EXPECT_TRUE(opened);
    EXPECT_TRUE(PathExists(From("album/a.mp3")));
    EXPECT_EQ(messages.Messages().size(), 1u);
}

// ---- holes and leftovers -------------------------------------------------------------------

namespace {

constexpr int64_t kSparseSize = (9LL << 30) / 4; // 2.25 GiB, almost all of it holes

/// A sparse file: a few bytes at its start, in its middle and at its end, holes between.
void MakeSparseFile(const std::string& path) {
    WriteBytes(path, "head");
    ASSERT_EQ(::truncate(path.c_str(), kSparseSize), 0);
    std::fstream out(path, std::ios::in | std::ios::out | std::ios::binary);
    out.seekp(1LL << 30);
    out << "middle";
    out.seekp(kSparseSize - 4);
    out << "tail";
}

std::string BytesAt(const std::string& path, int64_t offset, size_t count) {
    std::ifstream in(path, std::ios::binary);
    in.seekg(offset);
    std::string bytes(count, '\0');
    in.read(bytes.data(), static_cast<std::streamsize>(count));
    return bytes;
}

TEST(CopyRoutine, ADroppedOrMovedSparseFileKeepsItsHoles) {
    cTempFolder folder;
    const std::string other = OtherFileSystemFolder(folder.Path());
    const std::string otherFolder =
        other.empty() ? "" : other + "/tunaria-holes-" + std::to_string(::getpid());
    const struct {
        const char* Case;
        std::string Target; ///< empty where this machine has no place for it
        std::function<void(const std::string&, const std::string&)> Copy;
    } ways[] = {
        {"dropped", folder / "dropped/song.mp3",
         [](const std::string& from, const std::string& to) {
             cScriptedCopyObserver observer;
             const cCopyOutcome outcome =
                 CopyIntoFolder({from}, std::string(FolderPart(to)), observer);
             EXPECT_TRUE(outcome.Errors.empty());
         }},
        {"moved to another file system", otherFolder.empty() ? "" : otherFolder + "/song.mp3",
         [](const std::string& from, const std::string& to) { MoveFileNoReplace(from, to); }},
    };
    for (const auto& way : ways) {
        SCOPED_TRACE(way.Case);
        if (way.Target.empty()) {
            continue; // no second file system here
        }
        const std::string source = folder / "song.mp3";
        MakeSparseFile(source);
        struct stat before {};
        ASSERT_EQ(::stat(source.c_str(), &before), 0);
        ASSERT_LT(before.st_blocks * 512, 1LL << 20) << "this file system keeps no holes";
        std::filesystem::create_directories(std::string(FolderPart(way.Target)));
        way.Copy(source, way.Target);
        struct stat after {};
        ASSERT_EQ(::stat(way.Target.c_str(), &after), 0);
        EXPECT_EQ(after.st_size, kSparseSize);
        EXPECT_LE(after.st_blocks, before.st_blocks + 64) << "the holes stayed holes";
        EXPECT_EQ(BytesAt(way.Target, 0, 4), "head");
        EXPECT_EQ(BytesAt(way.Target, 1LL << 30, 6), "middle");
        EXPECT_EQ(BytesAt(way.Target, kSparseSize - 4, 4), "tail");
        EXPECT_EQ(BytesAt(way.Target, (1LL << 30) - 3, 3), std::string(3, '\0'));
        std::filesystem::remove(way.Target);
        std::filesystem::remove(source);
    }
    if (!otherFolder.empty()) {
        std::filesystem::remove_all(otherFolder);
    }
}

TEST_F(FileCopy, ACopyIntoAFolderClearsOnlyTheProgramsOwnOldLeftovers) {
    using namespace leftover_files;
    std::filesystem::create_directories(To("sub"));
    std::vector<std::string> staying = PlantLeftoversAndLookAlikes(m_Folder / "to");
    std::vector<std::string> stayingBelow = PlantLeftoversAndLookAlikes(m_Folder / "to/sub");
    WriteBytes(From("new.mp3"), "new");
    Touch(From("sub/deeper.mp3"));
    const cCopyOutcome outcome =
        CopyIntoFolder({From("new.mp3"), From("sub")}, Target(), m_Observer);
    EXPECT_TRUE(outcome.Errors.empty());
    staying.insert(staying.end(), {"new.mp3", "sub"});
    std::sort(staying.begin(), staying.end());
    stayingBelow.push_back("deeper.mp3");
    std::sort(stayingBelow.begin(), stayingBelow.end());
    EXPECT_EQ(NamesIn(m_Folder / "to"), staying);
    EXPECT_EQ(NamesIn(m_Folder / "to/sub"), stayingBelow) << "a folder the copy fills as well";
    EXPECT_EQ(ReadBytes(To("song.mp3")), "bytes") << "a link's target stays";
}

} // namespace
