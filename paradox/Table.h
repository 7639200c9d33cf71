// One Paradox table and its family files: create, open, append, read, make keyed, drop.
//
// Appends write straight into a shared mapping of the files, so that when append()
// returns the kernel holds a valid table with the new record, without a system call per
// record. With a guardian running, the .DB is also written ahead of its blocks: zeros for
// the blocks to come, many in one call, which new blocks are then written over through the
// mapping; that room goes again (the file ends after its last block) before the table is
// read, rewritten or closed, and the guardian cuts it should the process die. The record
// bytes (and a new index entry) go where no reader looks yet; then a commit of a few small
// stores makes them visible: the block's last-record offset, the header's counts, the index
// counts. Those stores sit in two files and cannot be ordered so that each moment is
// consistent, so a commit is listed first in the CommitGuard's journal: a process killed in
// the middle leaves the rest to the guardian. Structural rewrites (CREATE, a new primary
// index, an insert below the last key, a new index level, the move to 32 KB blocks of a
// table whose blocks are all in use) are written under a temporary name and renamed into
// place, the index and the table as one commit.
#pragma once

#include "paradox/CodePage.h"
#include "paradox/CommitGuard.h"
#include "paradox/FileIo.h"
#include "paradox/Format.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace paradox {

// The family file of `stem` with extension `ext` (".DB", ...), found without regard to case.
std::optional<std::filesystem::path> findFamilyFile(const std::filesystem::path& folder,
                                                    std::string_view stem, std::string_view ext);
// The three main files of the table `stem`, as one reading of the folder finds them.
struct MainFiles {
    std::optional<std::filesystem::path> db, px, mb;
};
MainFiles findMainFiles(const std::filesystem::path& folder, std::string_view stem);
// Every .DB file of the folder by its case-folded table name, the first found of each name.
std::map<std::string, std::filesystem::path> findTableFiles(const std::filesystem::path& folder);
// Whether the folder holds an entry of this name, as its listing would show it.
bool hasEntry(const std::filesystem::path& path);
// Removes every family file of the table (.DB first); false when there was no .DB.
bool dropTable(const std::filesystem::path& folder, std::string_view stem);
// Puts the table `newStem`, complete on disk, in the place of the table `stem` as one commit
// that `guard` (when given) finishes after a kill: its files are renamed over the old ones,
// keeping their names, and the old table's other files are removed.
void replaceTable(const std::filesystem::path& folder, std::string_view stem, std::string_view newStem,
                  CommitGuard* guard);

class Table {
public:
    struct Blob {
        int field;
        std::string data;
    };
    enum class Result { Ok, Duplicate, Full };

    // Writes a new, empty, unkeyed table `<stem>.DB` (and `.MB` when it has blob fields).
    // `found`: the table's files as the caller has just read them from the folder, else they
    // are read here.
    static void create(const std::filesystem::path& folder, std::string_view stem, Header header,
                       const MainFiles* found = nullptr);
    // `guard`, when given, must outlive the table.
    static std::unique_ptr<Table> open(const std::filesystem::path& dbPath, CommitGuard* guard = nullptr);
    ~Table();

    const Header& header() const { return h_; }
    // The code page of the table's text.
    const CodePage& codePage() const { return codePage_; }
    const std::filesystem::path& path() const { return dbPath_; }
    bool keyed() const { return h_.keyed(); }
    std::uint32_t recordCount() const;
    // False after a load or a change failed halfway: what the object holds may no longer be
    // what the files hold, and it must be opened again.
    bool intact() const { return !stale_; }

    // `record` holds every field encoded, blob fields zero; `blobs` their contents.
    // `lastAutoInc`, when given, becomes the header's auto-increment value, the last one
    // handed out as Paradox counts, in the same commit as the record.
    Result append(std::string& record, const std::vector<Blob>& blobs, std::optional<std::uint32_t> lastAutoInc = std::nullopt);
    // Cuts the room taken ahead for appends: the files end where the table does. Done by the
    // table itself before it is rewritten or closed.
    void cutRoomAhead() noexcept;
    // Makes the first `keyFields` fields the primary key; Duplicate when two rows share a key,
    // Full when its index could not number the blocks the rows need.
    Result makePrimary(int keyFields);

    // Calls `fn` with every record in chain (= key) order.
    void forEach(const std::function<void(const unsigned char*)>& fn) const;
    // The blocks of the chain, and forEach over those from `first` up to `last`: threads may
    // read parts of a table opened to be read at once.
    std::size_t chainLength() const { return blocks_.size(); }
    void forEachIn(std::size_t first, std::size_t last, const std::function<void(const unsigned char*)>& fn) const;
    // The contents of a blob field of a record read by forEach, from any thread.
    std::string blob(int field, const unsigned char* record) const;
    int fieldOffset(int field) const { return offsets_[std::size_t(field)]; }
    const std::vector<int>& fieldOffsets() const { return offsets_; }

private:
    struct BlockRef {
        std::uint16_t number;
        int count;
        std::string firstKey;
    };
    struct PxLevel {
        std::uint16_t lastBlock;
        int entriesInLast;
    };
    // Marks the table stale when the scope is left by an exception.
    class StaleOnThrow;
    Table() = default;
    void load();
    void checkKeyOrder(const Header& header) const;
    std::uint64_t lastBlockEnd(std::uint64_t fileSize) const;
    void beginWriting();
    void unmapAll();
    std::size_t blockOffset(int number) const;
    unsigned char* block(int number) const;
    void commit();
    void appendInPlace(const std::string& record, std::optional<std::uint32_t> lastAutoInc);
    bool roomAhead(std::uint64_t end);
    void rebuild(std::vector<std::string> records, Header header);
    static Header raisedToLargestBlocks(Header header);
    static std::optional<Header> laidOutFor(Header header, std::size_t records);
    void growBlocks();
    void replaceFiles(bool stagedPx);
    void writePx();
    std::optional<std::filesystem::path> stagePx();
    void installPx(const std::optional<std::filesystem::path>& staged);
    void closePx();
    void openPx(bool replaced);
    bool pxPrepareEntry();
    void pxAddEntry(const std::string& key, std::uint16_t child);
    void touchForCommit(int blockNumber);
    void pxCountUp();
    std::vector<unsigned char> pxImage(std::vector<PxLevel>& levels) const;
    int level1EntriesPerBlock() const;
    void writeBlobs(std::string& record, const std::vector<Blob>& blobs);
    std::uint32_t writeSharedBlob(const std::string& data, const std::filesystem::path& mbPath);

    std::filesystem::path dbPath_;
    std::filesystem::path pxPath_;
    std::filesystem::path dbAbsolute_, pxAbsolute_, dbTemp_, pxTemp_;  // as the guardian names them
    CommitGuard* guard_ = nullptr;
    CommitGuard::Commit commit_;
    Header h_;
    CodePage codePage_ = CodePage::of(h_);
    int keyLength_ = 0;                 // of h_, as loaded
    bool keyOrderKept_ = false;         // h_'s sort order is the order of the keys' bytes
    fileio::Handle db_ = fileio::kNoHandle, px_ = fileio::kNoHandle, mb_ = fileio::kNoHandle;
    mutable std::mutex mbReaderOpening_;
    mutable fileio::Handle mbReader_ = fileio::kNoHandle;   // the blob file as blob() reads it
    mutable std::filesystem::path mbReaderPath_;
    unsigned char* dbMap_ = nullptr;
    std::size_t dbMapLen_ = 0;
    unsigned char* pxMap_ = nullptr;
    std::size_t pxMapLen_ = 0;
    std::size_t released_ = 0;          // mapped bytes handed back to the kernel
    std::vector<BlockRef> blocks_;      // chain order
    std::vector<PxLevel> pxLevels_;     // [0] = level 1
    std::vector<PxLevel> stagedLevels_; // of an index written but not yet in place
    std::string lastKey_;
    std::vector<int> offsets_;
    std::uint64_t mbSize_ = 0;
    std::uint64_t sharedBlock_ = 0;     // the shared (type 3) .MB block being filled
    int sharedSlot_ = -1;               // its next free slot, -1 when there is none
    int sharedChunk_ = 0;               // its next free 16-byte chunk
    std::vector<unsigned char> sharedImage_;  // its bytes, as on disk
    std::filesystem::path mbPath_;      // of the open blob file
    std::vector<unsigned char> newBlock_;  // reused buffer of a block being added
    std::uint64_t dbEnd_ = 0;              // where the .DB ends, the room ahead included
    int heldDb_ = -1;                      // the guardian's number of the .DB while it has room ahead
    bool writing_ = false;
    bool stale_ = true;
};

}  // namespace paradox
