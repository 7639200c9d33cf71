#include "paradox/Table.h"

#include "paradox/CaseFold.h"
#include "paradox/CodePage.h"
#include "paradox/Database.h"
#include "paradox/Encoding.h"
#include "paradox/FileIo.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <exception>
#include <system_error>
#include <thread>
#include <utility>

namespace fs = std::filesystem;

namespace paradox {

namespace {

[[noreturn]] void fail(const fs::path& file, std::string_view action, int err = errno)
{
    throw FileError("Cannot " + std::string(action) + " file '" + fileio::nameOf(file) + "': " + std::strerror(err), err);
}

[[noreturn]] void damaged(const fs::path& file, const std::string& what)
{
    throw Error("The Paradox file '" + fileio::nameOf(file) + "' is damaged: " + what);
}

void preadAll(fileio::Handle fd, void* buf, std::size_t len, std::uint64_t at, const fs::path& file)
{
    auto* p = static_cast<unsigned char*>(buf);
    while (len > 0) {
        const std::int64_t n = fileio::readAt(fd, p, len, at);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) fail(file, "read");
        if (n == 0) damaged(file, "it ends before offset " + std::to_string(std::uint64_t(at) + len));
        p += n;
        len -= std::size_t(n);
        at += std::uint64_t(n);
    }
}

// Reads a table's blocks in chain order for the chain walk and forEach. Blocks that follow each
// other on disk, as a table written in key order has them, are read many to a system call: the
// window doubles while the chain runs forward and starts again at one block where it jumps.
class BlockReader {
public:
    BlockReader(fileio::Handle fd, const fs::path& file, std::uint64_t fileSize, std::uint64_t headerSize, int blockSize)
        : fd_(fd), file_(file), fileSize_(fileSize), headerSize_(headerSize), blockSize_(std::size_t(blockSize)),
          maxRun_(std::max<std::size_t>(1, kWindowBytes / std::size_t(blockSize)))
    {
    }

    // The bytes of block `number` from its start: the first `inFile` of them must be in the
    // file (a shorter file is damaged); of the rest up to `need`, those past its end read as zeros.
    const unsigned char* read(int number, std::size_t inFile, std::size_t need)
    {
        const std::uint64_t at = headerSize_ + std::uint64_t(number - 1) * blockSize_;
        const bool forward = number == lastNumber_ + 1;
        lastNumber_ = number;
        if (at >= start_ && at + inFile <= start_ + inFileLen_ && at + need <= start_ + size_)
            return buffer_.get() + (at - start_);
        run_ = forward ? std::min(run_ * 2, maxRun_) : 1;
        const std::size_t bytes = std::max(run_ * blockSize_, need);
        const std::size_t there = at < fileSize_ ? std::size_t(std::min<std::uint64_t>(bytes, fileSize_ - at)) : 0;
        const std::size_t len = std::max(there, inFile);   // at most `bytes`: inFile <= need
        // What the buffer held is read over: a larger one is not zeroed or copied into first.
        if (bytes > capacity_) {
            buffer_.reset(new unsigned char[bytes]);
            capacity_ = bytes;
        }
        size_ = bytes;
        preadAll(fd_, buffer_.get(), len, at, file_);
        std::fill(buffer_.get() + len, buffer_.get() + bytes, 0);
        start_ = at;
        inFileLen_ = len;
        return buffer_.get();
    }

private:
    static constexpr std::size_t kWindowBytes = 256 * 1024;
    fileio::Handle fd_;
    const fs::path& file_;
    std::uint64_t fileSize_, headerSize_;
    std::size_t blockSize_, maxRun_;
    std::size_t run_ = 1;
    int lastNumber_ = -1;
    std::unique_ptr<unsigned char[]> buffer_;
    std::size_t size_ = 0, capacity_ = 0;
    std::uint64_t start_ = 0;
    std::size_t inFileLen_ = 0;
};

void pwriteAll(fileio::Handle fd, const void* buf, std::size_t len, std::uint64_t at, const fs::path& file)
{
    const auto* p = static_cast<const unsigned char*>(buf);
    while (len > 0) {
        const std::int64_t n = fileio::writeAt(fd, p, len, at);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) fail(file, "write");
        p += n;
        len -= std::size_t(n);
        at += std::uint64_t(n);
    }
}

// Room ahead of a large table ends on a multiple of this size, and zeros written for it go in
// pieces that end there: the system can then cache the file in large pages, each reached
// through one entry of the mapping. In small pages, the first store into each through the
// mapping costs as much as writing a few records.
constexpr std::uint64_t kLargePage = std::uint64_t(2) << 20;

// Writes `len` zero bytes at `at`, in one call up to each multiple of kLargePage.
void writeZeros(fileio::Handle fd, std::size_t len, std::uint64_t at, const fs::path& file)
{
    while (len > 0) {
        const std::size_t toBoundary = std::size_t(kLargePage - at % kLargePage);
        const std::int64_t n = fileio::writeZerosAt(fd, std::min(len, toBoundary), at);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) fail(file, "write");
        len -= std::size_t(n);
        at += std::uint64_t(n);
    }
}

// The path the guardian finds the file by, whatever the working folder is by then; the path
// as given when the working folder is unknown, and the guard then refuses the commits.
fs::path guardianPath(const fs::path& p)
{
    std::error_code ec;
    fs::path a = fs::absolute(p, ec);
    return ec ? p : a;
}

// Tables of 4.x and later keep the password code at 0x5C, 3.x tables at 0x25.
bool passwordProtected(const std::vector<unsigned char>& head)
{
    if (head[hdr::Version] < 5) return getLe32(&head[hdr::Encryption]) != 0;
    return head.size() >= hdr::PasswordCode + 4 && getLe32(&head[hdr::PasswordCode]) != 0;
}

fs::path tempName(const fs::path& target)
{
    fs::path temp = target;
    temp += ".~new";
    return temp;
}

// Creates the temporary file that will replace a table's file, with room for `size` bytes.
// The room is taken on disk up front: a full disk is found before any writing, and a file
// whose blocks are all allocated is not flushed by ext4 when it is renamed over the old
// one (its guard against delayed allocation), which for a large table takes longer than
// writing it.
fileio::Handle createTemp(const fs::path& temp, std::size_t size)
{
    const fileio::Handle fd = fileio::open(temp, fileio::Open::Replace);
    if (fd == fileio::kNoHandle) fail(temp, "create");
    if (size > 0 && !fileio::allocate(fd, 0, size) && fileio::noRoom(errno)) {
        const int err = errno;
        fileio::close(fd);
        fileio::remove(temp);
        fail(temp, "write", err);
    }
    return fd;
}

// Writes `bytes` under a temporary name beside `target`; renameInto() puts it in place.
fs::path writeTemp(const fs::path& target, const std::vector<unsigned char>& bytes)
{
    const fs::path temp = tempName(target);
    const fileio::Handle fd = createTemp(temp, bytes.size());
    try {
        pwriteAll(fd, bytes.data(), bytes.size(), 0, temp);
    } catch (...) {
        fileio::close(fd);
        fileio::remove(temp);
        throw;
    }
    fileio::close(fd);
    return temp;
}

void closeInBackground(fileio::Handle fd)
{
    try {
        std::thread([fd] { fileio::close(fd); }).detach();
    } catch (const std::system_error&) {
        fileio::close(fd);
    }
}

void renameInto(const fs::path& temp, const fs::path& target)
{
    if (!fileio::rename(temp, target)) {
        const int err = errno;
        fileio::remove(temp);
        fail(target, "replace", err);
    }
}

void replaceFile(const fs::path& target, const std::vector<unsigned char>& bytes)
{
    renameInto(writeTemp(target, bytes), target);
}

std::string upper(std::string_view s)
{
    std::string out(s);
    for (char& c : out)
        if (c >= 'a' && c <= 'z') c = char(c - 32);
    return out;
}

using fileio::pageSize;

void encodeBlockHeader(unsigned char* b, int next, int prev, int lastOffset)
{
    putLe16(b, std::uint16_t(next));
    putLe16(b + 2, std::uint16_t(prev));
    putLe16(b + 4, std::uint16_t(std::int16_t(lastOffset)));
}

void encodeEntry(unsigned char* e, const std::string& key, int child, int count)
{
    std::memcpy(e, key.data(), key.size());
    encodeInt(e + key.size(), 2, child);
    encodeInt(e + key.size() + 2, 2, std::min(count, 32767));
    encodeInt(e + key.size() + 4, 2, 0);
}

// Calls `take` with the name of each entry of the folder and its case-folded form until it
// returns true. Most names in a folder of tables are ASCII, folded here without a new string each.
void readFolder(const fs::path& folder, const std::function<bool(std::string_view name, const std::string& folded)>& take)
{
    std::string folded;
    const bool read = fileio::forEachName(folder, [&](std::string_view name) {
        if (std::all_of(name.begin(), name.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; })) {
            folded.assign(name);
            for (char& c : folded)
                if (c >= 'A' && c <= 'Z') c = char(c + 32);
        } else {
            folded = foldCase(name);
        }
        return take(name, folded);
    });
    if (!read) {
        const std::error_code ec(errno, std::generic_category());
        throw FileError("Cannot read folder '" + folder.string() + "': " + ec.message(), ec.value());
    }
}

// Takes the entry `name` (case-folded `folded`) of `folder` for the main file it is of the table
// whose case-folded name is `stem`, if it is one and the first such.
void noteMainFile(MainFiles& found, const std::string& stem, const fs::path& folder, std::string_view name,
                  const std::string& folded)
{
    if (folded.size() != stem.size() + 3 || !folded.starts_with(stem)) return;
    const std::string_view ext = std::string_view(folded).substr(stem.size());
    std::optional<fs::path>& slot = ext == ".db" ? found.db : ext == ".px" ? found.px : found.mb;
    if (!slot && (ext == ".db" || ext == ".px" || ext == ".mb")) slot = folder / fileio::pathOf(std::string(name));
}

// Whether the case-folded name is of a file of the table, `stemDot` its case-folded name and a
// period, other than its .DB: index, blobs, secondary indexes, validity checks, settings, and
// files a rewrite left under a temporary name.
bool isCompanion(const std::string& stemDot, const std::string& folded)
{
    if (folded.size() <= stemDot.size() || !folded.starts_with(stemDot)) return false;
    const std::string ext = upper(folded.substr(stemDot.size()));
    const bool digits2 = ext.size() == 3 && std::isdigit(static_cast<unsigned char>(ext[1])) &&
                         std::isdigit(static_cast<unsigned char>(ext[2]));
    const bool digit1 = ext.size() >= 2 && std::all_of(ext.begin() + 1, ext.end(), [](char c) {
                            return std::isdigit(static_cast<unsigned char>(c));
                        });
    return ext == "PX" || ext == "MB" || ext.ends_with(".~NEW") || ext == "VAL" || ext == "TV" || ext == "FAM" || ext == "SET" ||
           ((ext[0] == 'X' || ext[0] == 'Y') && digits2) ||
           (ext.size() == 3 && (ext.starts_with("XG") || ext.starts_with("YG")) &&
            std::isdigit(static_cast<unsigned char>(ext[2]))) ||
           ((ext[0] == 'F' || ext[0] == 'R') && (ext.size() == 1 || digit1));
}

}  // namespace

std::optional<fs::path> findFamilyFile(const fs::path& folder, std::string_view stem, std::string_view ext)
{
    const std::string want = foldCase(std::string(stem) + std::string(ext));
    std::optional<fs::path> found;
    readFolder(folder, [&](std::string_view name, const std::string& folded) {
        if (folded == want) found = folder / fileio::pathOf(std::string(name));
        return found.has_value();
    });
    return found;
}

// A folder of thousands of tables takes a while to read: making a table reads it once, not
// once for each file it looks for.
MainFiles findMainFiles(const fs::path& folder, std::string_view stem)
{
    const std::string folded = foldCase(std::string(stem));
    MainFiles found;
    readFolder(folder, [&](std::string_view name, const std::string& foldedName) {
        noteMainFile(found, folded, folder, name, foldedName);
        return found.db && found.px && found.mb;
    });
    return found;
}

std::map<std::string, fs::path> findTableFiles(const fs::path& folder)
{
    std::map<std::string, fs::path> tables;
    readFolder(folder, [&](std::string_view name, const std::string& folded) {
        if (folded.size() > 3 && folded.ends_with(".db"))
            tables.emplace(folded.substr(0, folded.size() - 3), folder / fileio::pathOf(std::string(name)));
        return false;
    });
    return tables;
}

bool hasEntry(const fs::path& path)
{
    std::error_code ec;
    return fs::exists(fs::symlink_status(path, ec));
}

namespace {

// The files of the table `stem` other than its .DB (see isCompanion).
std::vector<fs::path> companionFiles(const fs::path& folder, std::string_view stem)
{
    const std::string stemDot = foldCase(std::string(stem)) + ".";
    std::vector<fs::path> family;
    readFolder(folder, [&](std::string_view name, const std::string& folded) {
        if (isCompanion(stemDot, folded)) family.push_back(folder / fileio::pathOf(std::string(name)));
        return false;
    });
    return family;
}

// Flushes a file, or a folder's entries, to the disk.
void syncToDisk(const fs::path& path)
{
    const fileio::Handle fd = fileio::open(path, fileio::Open::Flush);
    if (fd == fileio::kNoHandle) fail(path, "open");
    const bool flushed = fileio::flush(fd);
    const int err = errno;
    fileio::close(fd);
    if (!flushed) fail(path, "write", err);
}

}  // namespace

bool dropTable(const fs::path& folder, std::string_view stem)
{
    const auto db = findFamilyFile(folder, stem, ".DB");
    if (!db) return false;
    if (!fileio::remove(*db)) fail(*db, "delete");
    for (const auto& file : companionFiles(folder, stem))
        if (!fileio::remove(file) && errno != ENOENT) fail(file, "delete");
    return true;
}

void replaceTable(const fs::path& folder, std::string_view stem, std::string_view newStem, CommitGuard* guard)
{
    // The new files are on the disk before any name points at them.
    std::vector<std::pair<fs::path, fs::path>> moves;   // new file, the name it takes
    // One reading of the folder finds the files of both tables.
    const std::string newFolded = foldCase(std::string(newStem)), oldFolded = foldCase(std::string(stem));
    const std::string oldStemDot = oldFolded + ".";
    MainFiles made, old;
    std::vector<fs::path> companions;
    readFolder(folder, [&](std::string_view name, const std::string& folded) {
        noteMainFile(made, newFolded, folder, name, folded);
        noteMainFile(old, oldFolded, folder, name, folded);
        if (isCompanion(oldStemDot, folded)) companions.push_back(folder / fileio::pathOf(std::string(name)));
        return false;
    });
    const struct {
        const std::optional<fs::path>& made;
        const std::optional<fs::path>& old;
        const char* ext;
    } files[] = {{made.mb, old.mb, ".MB"}, {made.px, old.px, ".PX"}, {made.db, old.db, ".DB"}};
    for (const auto& file : files) {
        if (!file.made) continue;
        syncToDisk(*file.made);
        moves.emplace_back(*file.made, file.old.value_or(folder / fileio::pathOf(std::string(stem) + file.ext)));
    }
    std::vector<fs::path> leftOver;
    for (const auto& file : companions)
        if (std::none_of(moves.begin(), moves.end(), [&](const auto& m) { return m.second == file; })) leftOver.push_back(file);

    // The guardian knows the files by these paths, which must stay put while the commit runs.
    std::vector<fs::path> paths;
    paths.reserve(2 * moves.size() + leftOver.size());
    CommitGuard::Commit commit;
    for (const auto& [from, to] : moves) {
        paths.push_back(guardianPath(from));
        paths.push_back(guardianPath(to));
        commit.rename(commit.file(paths[paths.size() - 2]), commit.file(paths.back()));
    }
    // Removals last: none of them names a file a rename has just put in place.
    for (const auto& file : leftOver) {
        paths.push_back(guardianPath(file));
        commit.remove(commit.file(paths.back()));
    }
    if (guard) guard->start();
    const bool armed = guard && guard->arm(commit);
    try {
        for (const CommitGuard::Step& s : commit.steps()) {
            const fs::path& file = commit.path(s.file);
            if (s.kind == CommitGuard::Step::Rename && !fileio::rename(file, commit.path(s.to))) fail(commit.path(s.to), "replace");
            if (s.kind == CommitGuard::Step::Remove && !fileio::remove(file) && errno != ENOENT) fail(file, "delete");
        }
    } catch (...) {
        if (armed) guard->disarm();
        throw;
    }
    if (armed) guard->disarm();
    syncToDisk(folder);
}

void Table::create(const fs::path& folder, std::string_view stem, Header h, const MainFiles* found)
{
    h.fileType = kUnkeyedDb;
    h.keyFields = 0;
    h.numRecords = 0;
    h.tableName += ".DB";   // the name field holds the file's name, as Paradox writes it
    h.fileBlocks = h.firstBlock = h.lastBlock = 0;
    h.headerSize = std::uint16_t(headerBytesNeeded(h, false));
    const bool blobs = std::any_of(h.fields.begin(), h.fields.end(), [](const Field& f) { return f.isBlob(); });
    const fs::path db = folder / fileio::pathOf(std::string(stem) + ".DB");
    const MainFiles existing = found ? *found : findMainFiles(folder, stem);
    for (const auto& stale : {existing.px, existing.mb})
        if (stale && !fileio::remove(*stale)) fail(*stale, "delete");
    if (blobs) replaceFile(folder / fileio::pathOf(std::string(stem) + ".MB"), encodeMbHeader());
    replaceFile(db, encodeHeader(h, false));
}

std::unique_ptr<Table> Table::open(const fs::path& dbPath, CommitGuard* guard)
{
    std::unique_ptr<Table> t(new Table);
    t->dbPath_ = dbPath;
    t->dbAbsolute_ = guardianPath(dbPath);
    t->dbTemp_ = tempName(t->dbAbsolute_);
    t->guard_ = guard;
    t->load();
    return t;
}

Table::~Table() { unmapAll(); }

class Table::StaleOnThrow {
public:
    explicit StaleOnThrow(Table& t) : table_(t) {}
    ~StaleOnThrow()
    {
        if (std::uncaught_exceptions() > pending_) table_.stale_ = true;
    }
    StaleOnThrow(const StaleOnThrow&) = delete;
    StaleOnThrow& operator=(const StaleOnThrow&) = delete;

private:
    Table& table_;
    int pending_ = std::uncaught_exceptions();
};

void Table::unmapAll()
{
    cutRoomAhead();
    if (dbMap_) fileio::unmap(dbMap_, dbMapLen_);
    if (pxMap_) fileio::unmap(pxMap_, pxMapLen_);
    dbMap_ = pxMap_ = nullptr;
    for (fileio::Handle* fd : {&db_, &px_, &mb_, &mbReader_})
        if (*fd != fileio::kNoHandle) {
            fileio::close(*fd);
            *fd = fileio::kNoHandle;
        }
    sharedSlot_ = -1;
    writing_ = false;
    released_ = 0;
}

void Table::load()
{
    stale_ = true;
    unmapAll();
    db_ = fileio::open(dbPath_, fileio::Open::Read);
    if (db_ == fileio::kNoHandle) fail(dbPath_, "open");
    std::uint64_t fileSize = 0;
    if (!fileio::size(db_, fileSize)) fail(dbPath_, "examine");
    unsigned char fixed[hdr::FixedEnd];
    if (fileSize < hdr::FixedEnd) damaged(dbPath_, "it is shorter than a Paradox header");
    preadAll(db_, fixed, sizeof fixed, 0, dbPath_);
    const std::size_t headerSize = std::min<std::size_t>(getLe16(fixed + hdr::HeaderSize), std::size_t(fileSize));
    std::vector<unsigned char> head(std::max<std::size_t>(headerSize, hdr::FixedEnd));
    preadAll(db_, head.data(), head.size(), 0, dbPath_);
    if (passwordProtected(head)) throw Error("The table '" + fileio::nameOf(dbPath_.stem()) + "' is protected by a password, which this program cannot open");
    try {
        h_ = decodeHeader(head.data(), head.size(), false);
    } catch (const FormatFault& f) {
        damaged(dbPath_, f.what);
    }
    const std::uint64_t need = h_.headerSize + std::uint64_t(h_.fileBlocks) * std::uint64_t(h_.blockSize());
    // Paradox may end a file right after the records of its last block.
    if (fileSize < need && fileSize < lastBlockEnd(fileSize))
        damaged(dbPath_, "it has " + std::to_string(fileSize) + " bytes, its " + std::to_string(h_.fileBlocks) +
                             " blocks need " + std::to_string(need));
    codePage_ = CodePage::of(h_);
    keyLength_ = h_.keyLength();
    keyOrderKept_ = binarySortOrder(h_);
    offsets_.clear();
    for (int i = 0, off = 0; i < int(h_.fields.size()); off += h_.fields[std::size_t(i++)].bytes()) offsets_.push_back(off);
    if (h_.fileType == kKeyedDb && h_.keyFields == 0) h_.fileType = kUnkeyedDb;
    if (h_.fileType == kUnkeyedDb) h_.keyFields = 0;

    blocks_.clear();
    const int keyLen = h_.keyLength();
    BlockReader reader(db_, dbPath_, fileSize, h_.headerSize, h_.blockSize());
    int b = h_.firstBlock, prev = 0;
    std::uint32_t total = 0;
    while (b != 0) {
        if (b > h_.fileBlocks) damaged(dbPath_, "the block chain reaches block " + std::to_string(b) + ", beyond the file");
        if (blocks_.size() >= h_.fileBlocks) damaged(dbPath_, "the block chain runs in a circle");
        const unsigned char* buf = reader.read(b, kBlockHeader, kBlockHeader + std::size_t(h_.recordSize));
        const int next = getLe16(buf), back = getLe16(buf + 2);
        const int last = std::int16_t(getLe16(buf + 4));
        if (back != prev) damaged(dbPath_, "block " + std::to_string(b) + " links back to " + std::to_string(back));
        if (last < -h_.recordSize || last % h_.recordSize != 0 || last > h_.blockSize() - kBlockHeader - h_.recordSize)
            damaged(dbPath_, "block " + std::to_string(b) + " has a last-record offset of " + std::to_string(last));
        const int count = last / h_.recordSize + 1;
        blocks_.push_back({std::uint16_t(b), count, std::string(reinterpret_cast<const char*>(buf) + kBlockHeader, std::size_t(keyLen))});
        total += std::uint32_t(count);
        prev = b;
        b = next;
    }
    h_.numRecords = total;
    h_.lastBlock = std::uint16_t(prev);
    lastKey_.clear();
    if (keyed() && total > 0) {
        const BlockRef& lastRef = blocks_.back();
        lastKey_.resize(std::size_t(keyLen));
        preadAll(db_, lastKey_.data(), std::size_t(keyLen),
                 h_.headerSize + std::uint64_t(lastRef.number - 1) * std::uint64_t(h_.blockSize()) + kBlockHeader +
                     std::uint64_t(lastRef.count - 1) * h_.recordSize,
                 dbPath_);
    }
    stale_ = false;
}

std::uint32_t Table::recordCount() const { return h_.numRecords; }

// Where the records of the block that ends the file end; the file holds the table when it
// reaches that far. Past the end of a file that ends inside a block header.
std::uint64_t Table::lastBlockEnd(std::uint64_t fileSize) const
{
    if (h_.fileBlocks == 0) return h_.headerSize;
    const std::uint64_t start = h_.headerSize + std::uint64_t(h_.fileBlocks - 1) * std::uint64_t(h_.blockSize());
    if (fileSize < start + kBlockHeader) return start + kBlockHeader;
    unsigned char head[kBlockHeader];
    preadAll(db_, head, sizeof head, start, dbPath_);
    const int last = std::int16_t(getLe16(head + 4));
    if (last < -h_.recordSize || last > h_.blockSize() - kBlockHeader - h_.recordSize) return start + std::uint64_t(h_.blockSize());
    return start + kBlockHeader + std::uint64_t(last + h_.recordSize);
}


std::size_t Table::blockOffset(int number) const { return h_.headerSize + std::size_t(number - 1) * std::size_t(h_.blockSize()); }

unsigned char* Table::block(int number) const { return dbMap_ + blockOffset(number); }

// Makes the steps listed in commit_: stores through the mappings, renames. Armed, the
// guard finishes them if the process is killed on the way.
void Table::commit()
{
    const bool armed = guard_ && guard_->arm(commit_);
    // Unarmed, a kill between the stores and a new held length would leave the guardian to
    // cut off the block the header already counts: the file keeps its new length first.
    if (!armed)
        for (const CommitGuard::Step& s : commit_.steps())
            if (s.kind == CommitGuard::Step::Hold) guard_->setHeld(s.file, s.offset);
    try {
        for (const CommitGuard::Step& s : commit_.steps()) {
            if (s.kind == CommitGuard::Step::Store)
                std::memcpy((&commit_.path(s.file) == &dbAbsolute_ ? dbMap_ : pxMap_) + s.offset, s.bytes, s.length);
            else if (s.kind != CommitGuard::Step::Hold)
                renameInto(commit_.path(s.file), commit_.path(s.to));
            else if (armed)
                guard_->setHeld(s.file, s.offset);
        }
    } catch (...) {
        if (armed) guard_->disarm();
        throw;
    }
    if (armed) guard_->disarm();
}

void Table::beginWriting()
{
    if (writing_) return;
    // Before the first mapping, which the guardian would otherwise inherit.
    if (guard_) guard_->start();
    fileio::close(db_);
    db_ = fileio::open(dbPath_, fileio::Open::ReadWrite);
    if (db_ == fileio::kNoHandle) fail(dbPath_, "open for writing");
    // A file that ends after the records of its last block gets the rest of the block,
    // where the next records go.
    std::uint64_t fileSize = 0;
    const std::uint64_t full = h_.headerSize + std::uint64_t(h_.fileBlocks) * std::uint64_t(h_.blockSize());
    if (!fileio::size(db_, fileSize)) fail(dbPath_, "examine");
    if (fileSize < full && !fileio::resize(db_, full)) fail(dbPath_, "extend");
    // Whatever lies past the blocks is no room of this table's: it is written over.
    dbEnd_ = full;
    dbMapLen_ = h_.headerSize + std::size_t(kMaxBlocks) * std::size_t(h_.blockSize());
    dbMap_ = fileio::map(db_, dbMapLen_);
    if (!dbMap_) fail(dbPath_, "map");
    fileio::preferLargePages(dbMap_, dbMapLen_);
    writing_ = true;
    // A process killed between the stores of an unguarded append leaves the header behind
    // the block chain; the chain is what counts.
    if (getLe32(dbMap_ + hdr::NumRecords) != h_.numRecords) putLe32(dbMap_ + hdr::NumRecords, h_.numRecords);
    if (getLe16(dbMap_ + hdr::LastBlock) != h_.lastBlock) putLe16(dbMap_ + hdr::LastBlock, h_.lastBlock);
    if (keyed()) writePx();
    released_ = h_.headerSize + (blocks_.empty() ? 0 : std::size_t(h_.lastBlock - 1) * std::size_t(h_.blockSize()));
    released_ = released_ / pageSize() * pageSize();
    const std::size_t headerPages = (h_.headerSize + pageSize() - 1) / pageSize() * pageSize();
    if (released_ > headerPages) fileio::release(dbMap_ + headerPages, released_ - headerPages);
    released_ = std::max(released_, headerPages);
}

std::vector<unsigned char> Table::pxImage(std::vector<PxLevel>& levels) const
{
    Header p = h_;
    // The index is named as its table, with the index's extension.
    p.tableName = h_.tableName.substr(0, h_.tableName.rfind('.')) + ".PX";
    p.fields.resize(h_.keyFields);
    for (Field& f : p.fields) f.name.clear();
    const int keyLen = h_.keyLength();
    p.recordSize = std::uint16_t(keyLen + 6);
    p.fileType = kPrimaryIndex;
    p.keyFields = 0;
    p.autoInc = 0;
    p.headerSize = std::uint16_t(headerBytesNeeded(p, true));
    const int per = (h_.blockSize() - kBlockHeader) / p.recordSize;
    const int perFirst = level1EntriesPerBlock();
    const int bs = h_.blockSize();

    std::vector<int> perLevel;      // blocks per level, level 1 first
    int entries = int(blocks_.size());
    std::uint32_t totalEntries = 0;
    while (entries > 0) {
        totalEntries += std::uint32_t(entries);
        const int perBlock = perLevel.empty() ? perFirst : per;
        const int blocks = (entries + perBlock - 1) / perBlock;
        perLevel.push_back(blocks);
        if (blocks == 1) break;
        entries = blocks;
    }
    const int numLevels = int(perLevel.size());
    std::vector<int> firstOfLevel(static_cast<std::size_t>(numLevels));
    int next = 1;
    for (int l = numLevels - 1; l >= 0; --l) {
        firstOfLevel[std::size_t(l)] = next;
        next += perLevel[std::size_t(l)];
    }
    const int totalBlocks = next - 1;
    p.numRecords = totalEntries;
    p.fileBlocks = std::uint16_t(totalBlocks);
    p.firstBlock = totalBlocks ? 1 : 0;
    p.lastBlock = std::uint16_t(totalBlocks);
    p.indexRoot = totalBlocks ? 1 : 0;
    p.indexLevels = std::uint8_t(numLevels);
    std::vector<unsigned char> out = encodeHeader(p, true);
    out.resize(p.headerSize + std::size_t(totalBlocks) * std::size_t(bs), 0);

    struct Entry {
        std::string key;
        int child;
        int count;
    };
    std::vector<Entry> level;
    for (const BlockRef& r : blocks_) level.push_back({r.firstKey, r.number, r.count});
    levels.assign(std::size_t(numLevels), PxLevel{0, 0});
    for (int l = 0; l < numLevels; ++l) {
        std::vector<Entry> up;
        const int perBlock = l == 0 ? perFirst : per;
        for (int k = 0; k < perLevel[std::size_t(l)]; ++k) {
            const int number = firstOfLevel[std::size_t(l)] + k;
            unsigned char* b = out.data() + p.headerSize + std::size_t(number - 1) * std::size_t(bs);
            const int from = k * perBlock, to = std::min(int(level.size()), from + perBlock);
            int sum = 0;
            for (int i = from; i < to; ++i) {
                encodeEntry(b + kBlockHeader + (i - from) * p.recordSize, level[std::size_t(i)].key, level[std::size_t(i)].child, level[std::size_t(i)].count);
                sum += level[std::size_t(i)].count;
            }
            encodeBlockHeader(b, number == totalBlocks ? 0 : number + 1, number - 1, (to - from - 1) * p.recordSize);
            up.push_back({level[std::size_t(from)].key, number, sum});
            levels[std::size_t(l)] = {std::uint16_t(number), to - from};
        }
        level = std::move(up);
    }
    return out;
}

// The entry above a level-1 block counts the records of its data blocks in a Short, which
// readers take as signed: a level-1 block indexes no more data blocks than keep that count
// at 32,767 even when they are full.
int Table::level1EntriesPerBlock() const
{
    const int entries = (h_.blockSize() - kBlockHeader) / (h_.keyLength() + 6);
    return std::max(1, std::min(entries, 32767 / h_.recordsPerBlock()));
}

void Table::writePx() { installPx(stagePx()); }

// Writes the index that the block list calls for under a temporary name; empty when the
// file on disk holds it already.
std::optional<fs::path> Table::stagePx()
{
    // The index found or made before, else one named as the table is, is taken while it is
    // there: reading a folder of thousands of tables for it costs more than the index.
    const fs::path beside = fs::path(dbPath_).replace_extension(dbPath_.extension() == ".db" ? ".px" : ".PX");
    if (pxPath_.empty() || !hasEntry(pxPath_))
        pxPath_ = hasEntry(beside) ? beside
                                   : findFamilyFile(dbPath_.parent_path(), fileio::nameOf(dbPath_.stem()), ".PX").value_or(beside);
    pxAbsolute_ = guardianPath(pxPath_);
    pxTemp_ = tempName(pxAbsolute_);
    std::vector<unsigned char> image = pxImage(stagedLevels_);
    if (px_ == fileio::kNoHandle) px_ = fileio::open(pxPath_, fileio::Open::ReadWrite);
    if (px_ != fileio::kNoHandle) {
        std::uint64_t bytes = 0;
        if (fileio::size(px_, bytes) && bytes == image.size()) {
            std::vector<unsigned char> now(image.size());
            preadAll(px_, now.data(), now.size(), 0, pxPath_);
            if (now == image) {
                pxLevels_ = stagedLevels_;
                return std::nullopt;
            }
        }
    }
    return writeTemp(pxPath_, image);
}

void Table::installPx(const std::optional<fs::path>& staged)
{
    if (staged && !fileio::kReplacesOpenFiles) closePx();
    if (staged) renameInto(*staged, pxPath_);
    openPx(staged.has_value());
}

void Table::closePx()
{
    if (pxMap_) fileio::unmap(pxMap_, pxMapLen_);
    pxMap_ = nullptr;
    if (px_ != fileio::kNoHandle) fileio::close(px_);
    px_ = fileio::kNoHandle;
}

// Maps the index; `replaced`: a staged one has just been renamed into place.
void Table::openPx(bool replaced)
{
    if (replaced) {
        closePx();
        pxLevels_ = stagedLevels_;
        px_ = fileio::open(pxPath_, fileio::Open::ReadWrite);
        if (px_ == fileio::kNoHandle) fail(pxPath_, "open for writing");
    }
    if (!pxMap_) {
        unsigned char head[hdr::FixedEnd];
        preadAll(px_, head, sizeof head, 0, pxPath_);
        pxMapLen_ = getLe16(head + hdr::HeaderSize) + std::size_t(kMaxBlocks) * std::size_t(h_.blockSize());
        pxMap_ = fileio::map(px_, pxMapLen_);
        if (!pxMap_) fail(pxPath_, "map");
    }
}

// Adds to the commit the stores of one more record under the last entry of every level.
void Table::pxCountUp()
{
    const int entry = keyLength_ + 6;
    const int headerSize = getLe16(pxMap_ + hdr::HeaderSize);
    const int px = commit_.file(pxAbsolute_);
    for (const PxLevel& l : pxLevels_) {
        const std::size_t at = std::size_t(headerSize) + std::size_t(l.lastBlock - 1) * std::size_t(h_.blockSize()) + kBlockHeader +
                               std::size_t(l.entriesInLast - 1) * std::size_t(entry) + std::size_t(entry) - 4;
        const auto count = decodeInt(pxMap_ + at, 2);
        if (count >= 32767) continue;
        unsigned char bytes[2];
        encodeInt(bytes, 2, count + 1);
        commit_.store(px, at, bytes, sizeof bytes);
    }
}

// Whether the level-1 entry of a new last data block can be added in place; extends the
// index file when the entry needs a new level-1 block. False: the index must be rebuilt.
bool Table::pxPrepareEntry()
{
    const int entry = keyLength_ + 6;
    const int per = (h_.blockSize() - kBlockHeader) / entry;
    if (pxLevels_.empty()) return false;
    if (pxLevels_[0].entriesInLast < level1EntriesPerBlock()) return true;
    if (pxLevels_.size() < 2 || pxLevels_[1].entriesInLast >= per) return false;
    const int fileBlocks = getLe16(pxMap_ + hdr::FileBlocks);
    if (fileBlocks >= kMaxIndexedBlocks) return false;
    const int headerSize = getLe16(pxMap_ + hdr::HeaderSize);
    // Taken on disk now: the block is written through the mapping, where a full disk would
    // end the process instead of failing the statement.
    const std::uint64_t blockSize = std::uint64_t(h_.blockSize());
    const std::uint64_t end = std::uint64_t(headerSize) + std::uint64_t(fileBlocks) * blockSize;
    if (!fileio::allocate(px_, end, blockSize) && (errno != EOPNOTSUPP || !fileio::resize(px_, end + blockSize)))
        fail(dbPath_, "extend the index of");
    pxMap_ = fileio::remap(px_, pxMap_, pxMapLen_);
    if (!pxMap_) fail(pxPath_, "map");
    return true;
}

// Writes the level-1 entry of a new last data block where no reader looks yet (past a
// block's last entry, or in a block beyond the index's end) and adds to the commit the
// stores that make it part of the index.
void Table::pxAddEntry(const std::string& key, std::uint16_t child)
{
    const int entry = keyLength_ + 6;
    const int headerSize = getLe16(pxMap_ + hdr::HeaderSize);
    const int px = commit_.file(pxAbsolute_);
    auto offsetOf = [&](int number) { return std::size_t(headerSize) + std::size_t(number - 1) * std::size_t(h_.blockSize()); };
    auto countUpFrom = [&](std::size_t level) {
        for (std::size_t l = level; l < pxLevels_.size(); ++l) {
            const std::size_t at = offsetOf(pxLevels_[l].lastBlock) + kBlockHeader + std::size_t((pxLevels_[l].entriesInLast - 1) * entry + entry - 4);
            const auto count = decodeInt(pxMap_ + at, 2);
            if (count >= 32767) continue;
            unsigned char bytes[2];
            encodeInt(bytes, 2, count + 1);
            commit_.store(px, at, bytes, sizeof bytes);
        }
    };
    PxLevel& l1 = pxLevels_[0];
    if (l1.entriesInLast < level1EntriesPerBlock()) {
        encodeEntry(pxMap_ + offsetOf(l1.lastBlock) + kBlockHeader + l1.entriesInLast * entry, key, child, 1);
        commit_.store16(px, offsetOf(l1.lastBlock) + 4, std::uint16_t(l1.entriesInLast * entry));
        ++l1.entriesInLast;
        countUpFrom(1);
        commit_.store32(px, hdr::NumRecords, getLe32(pxMap_ + hdr::NumRecords) + 1);
        return;
    }
    // A new level-1 block at the end of the file, indexed by the level above.
    const int number = getLe16(pxMap_ + hdr::FileBlocks) + 1;
    unsigned char* b = pxMap_ + offsetOf(number);
    encodeEntry(b + kBlockHeader, key, child, 1);
    encodeBlockHeader(b, 0, l1.lastBlock, 0);
    commit_.store16(px, offsetOf(l1.lastBlock), std::uint16_t(number));
    PxLevel& l2 = pxLevels_[1];
    encodeEntry(pxMap_ + offsetOf(l2.lastBlock) + kBlockHeader + l2.entriesInLast * entry, key, number, 1);
    commit_.store16(px, offsetOf(l2.lastBlock) + 4, std::uint16_t(l2.entriesInLast * entry));
    ++l2.entriesInLast;
    countUpFrom(2);
    l1 = {std::uint16_t(number), 1};
    for (int off : {hdr::UsedBlocks, hdr::FileBlocks, hdr::MaxBlocks, hdr::LastBlock}) commit_.store16(px, std::size_t(off), std::uint16_t(number));
    commit_.store32(px, hdr::NumRecords, getLe32(pxMap_ + hdr::NumRecords) + 2);
}

void Table::writeBlobs(std::string& record, const std::vector<Blob>& blobs)
{
    for (const Blob& blob : blobs) {
        const Field& f = h_.fields[std::size_t(blob.field)];
        auto* d = reinterpret_cast<unsigned char*>(record.data()) + fieldOffset(blob.field);
        const int leader = f.leader();
        if (blob.data.empty()) continue;
        std::memcpy(d, blob.data.data(), std::min(std::size_t(leader), blob.data.size()));
        std::uint32_t where = 0;
        if (blob.data.size() > std::size_t(leader)) {
            // Looked up once, when the file is opened: the folder is not read again for every blob.
            if (mb_ == fileio::kNoHandle)
                mbPath_ = findFamilyFile(dbPath_.parent_path(), fileio::nameOf(dbPath_.stem()), ".MB")
                              .value_or(fs::path(dbPath_).replace_extension(dbPath_.extension() == ".db" ? ".mb" : ".MB"));
            const fs::path& mbPath = mbPath_;
            if (mb_ == fileio::kNoHandle) {
                mb_ = fileio::open(mbPath, fileio::Open::ReadWriteNew);
                if (mb_ == fileio::kNoHandle) fail(mbPath, "open for writing");
                std::uint64_t bytes = 0;
                if (!fileio::size(mb_, bytes)) fail(mbPath, "examine");
                mbSize_ = (bytes + kMbUnit - 1) / kMbUnit * kMbUnit;
                if (mbSize_ == 0) {
                    const auto head = encodeMbHeader();
                    pwriteAll(mb_, head.data(), head.size(), 0, mbPath);
                    mbSize_ = head.size();
                }
            }
            if (blob.data.size() <= kMbSharedMax) {
                where = writeSharedBlob(blob.data, mbPath);
            } else {
                const auto bytes = encodeMbBlob(blob.data, 1);
                // The format's limit, not the disk's: the table's other rows still fit.
                if (mbSize_ + bytes.size() > 0xFFFFFF00ull) throw FileError("Cannot extend file '" + mbPath.string() + "': " + std::strerror(EFBIG));
                pwriteAll(mb_, bytes.data(), bytes.size(), mbSize_, mbPath);
                where = std::uint32_t(mbSize_) | 0xFF;
                mbSize_ += bytes.size();
            }
        }
        unsigned char* desc = d + leader;
        putLe32(desc, where);
        putLe32(desc + 4, std::uint32_t(blob.data.size()));
        putLe16(desc + 8, where ? 1 : 0);
    }
}

// Puts a blob of up to 2 KB into the shared block this table is filling, as Paradox does,
// or into a new one at the end of the file; returns its descriptor's offset and slot.
// Nothing refers to the data until the record that holds the descriptor is committed.
std::uint32_t Table::writeSharedBlob(const std::string& data, const fs::path& mbPath)
{
    const int chunks = int((data.size() + kMbChunk - 1) / kMbChunk);
    if (sharedSlot_ < 0 || sharedChunk_ + chunks > kMbUnit / kMbChunk) {
        if (mbSize_ + kMbUnit > 0xFFFFFF00ull) throw FileError("Cannot extend file '" + mbPath.string() + "': " + std::strerror(EFBIG));
        // A fresh block keeps the header of the one before and clears its slots and data.
        if (sharedImage_.empty())
            sharedImage_ = encodeMbSharedBlock();
        else
            std::fill(sharedImage_.begin() + 12, sharedImage_.end(), 0);
        sharedBlock_ = mbSize_;
        mbSize_ += sharedImage_.size();
        sharedSlot_ = kMbSharedSlots - 1;
        sharedChunk_ = kMbSharedData / kMbChunk;
    }
    const unsigned char slot[5] = {std::uint8_t(sharedChunk_), std::uint8_t(chunks), 1, 0,
                                   std::uint8_t(data.size() - std::size_t(chunks - 1) * kMbChunk)};
    // The block is kept as it is on disk and written whole, one system call for each blob;
    // what it held before is written again unchanged.
    std::memcpy(sharedImage_.data() + std::size_t(sharedChunk_) * kMbChunk, data.data(), data.size());
    std::memcpy(sharedImage_.data() + 12 + 5 * std::size_t(sharedSlot_), slot, sizeof slot);
    pwriteAll(mb_, sharedImage_.data(), sharedImage_.size(), sharedBlock_, mbPath);
    const std::uint32_t where = std::uint32_t(sharedBlock_) | std::uint32_t(sharedSlot_);
    --sharedSlot_;
    sharedChunk_ += chunks;
    return where;
}

// Every page the commit stores touch is written once beforehand, so that page faults
// (first touch, or write protection after writeback) happen before the journal is armed
// and the stores that must agree follow one another without a pause.
void Table::touchForCommit(int blockNumber)
{
    auto rewrite = [](unsigned char* p) { *reinterpret_cast<volatile unsigned char*>(p) = *p; };
    rewrite(dbMap_ + hdr::NumRecords);
    if (blockNumber) rewrite(block(blockNumber) + 4);
    if (h_.lastBlock) rewrite(block(h_.lastBlock));
    if (pxMap_) {
        const int headerSize = getLe16(pxMap_ + hdr::HeaderSize);
        rewrite(pxMap_ + hdr::NumRecords);
        for (const PxLevel& l : pxLevels_) rewrite(pxMap_ + headerSize + std::size_t(l.lastBlock) * std::size_t(h_.blockSize()) - 1);
    }
}

// Whether the .DB reaches `end`, taking room ahead when it does not: as many blocks as the
// table has, up to a large page (kLargePage), at once. Only the guardian can cut that
// room again should the process die, so without one there is none, and each new block is
// written by a call of its own.
bool Table::roomAhead(std::uint64_t end)
{
    if (end <= dbEnd_) return true;
    if (!guard_ || !guard_->running()) return false;
    if (heldDb_ < 0 && (heldDb_ = guard_->holdLength(dbAbsolute_, dbEnd_)) < 0) return false;
    const auto bs = std::uint64_t(h_.blockSize());
    const std::uint64_t blocks =
        std::clamp<std::uint64_t>(h_.fileBlocks, 1, std::max<std::uint64_t>(1, kLargePage / bs));
    std::uint64_t ahead = std::max(blocks * bs, end - dbEnd_);
    // A table that takes half a large page at a time takes it up to a large page's end.
    if (ahead >= kLargePage / 2) ahead = (dbEnd_ + ahead + kLargePage - 1) / kLargePage * kLargePage - dbEnd_;
    try {
        // The file system takes the room where it can, writing nothing: its pages read as zeros
        // until stored into. Elsewhere zeros are written.
        if (!fileio::allocate(db_, dbEnd_, ahead)) {
            if (errno != EOPNOTSUPP) fail(dbPath_, "extend");
            writeZeros(db_, std::size_t(ahead), dbEnd_, dbPath_);
        }
    } catch (const FileError&) {
        // A disk too full for the room may still take the one block, as without room ahead.
        if (!fileio::resize(db_, dbEnd_)) throw;
        return false;
    }
    dbEnd_ += ahead;
    dbMap_ = fileio::remap(db_, dbMap_, dbMapLen_);
    if (!dbMap_) fail(dbPath_, "map");
    return true;
}

void Table::cutRoomAhead() noexcept
{
    if (heldDb_ < 0) return;
    // The file's own header, which the commits keep, says where its blocks end.
    if (dbMap_) {
        const std::uint64_t blocksEnd =
            getLe16(dbMap_ + hdr::HeaderSize) +
            std::uint64_t(getLe16(dbMap_ + hdr::FileBlocks)) * std::uint64_t(dbMap_[hdr::BlockCode]) * 1024;
        if (blocksEnd < dbEnd_ && fileio::resize(db_, blocksEnd)) dbEnd_ = blocksEnd;
    }
    guard_->release(heldDb_);
    heldDb_ = -1;
}

void Table::appendInPlace(const std::string& record, std::optional<std::uint32_t> lastAutoInc)
{
    const int rs = h_.recordSize, bs = h_.blockSize();
    commit_.clear();
    const int db = commit_.file(dbAbsolute_);
    if (!blocks_.empty() && blocks_.back().count < h_.recordsPerBlock()) {
        BlockRef& last = blocks_.back();
        touchForCommit(last.number);
        // Past the block's last record, where no reader looks until the offset moves.
        std::memcpy(block(last.number) + kBlockHeader + std::size_t(last.count) * std::size_t(rs), record.data(), std::size_t(rs));
        commit_.store16(db, blockOffset(last.number) + 4, std::uint16_t(last.count * rs));
        commit_.store32(db, hdr::NumRecords, h_.numRecords + 1);
        if (lastAutoInc) commit_.store32(db, hdr::AutoInc, *lastAutoInc);
        if (keyed()) pxCountUp();
        commit();
        ++h_.numRecords;
        if (lastAutoInc) h_.autoInc = *lastAutoInc;
        ++last.count;
        if (last.count == 1) last.firstKey = record.substr(0, std::size_t(keyLength_));
        return;
    }
    const int number = h_.fileBlocks + 1;
    // The new block is written whole, record and block header in place, by the one call
    // that also extends the file: cheaper than growing the file and then faulting in and
    // zero-filling a fresh page through the mapping. The chain does not reach it yet.
    // Past the block header and the first record the buffer stays zero from block to block.
    // With room ahead, the zeros there are the block's and only its header and record are
    // stored, through the mapping.
    const std::uint64_t end = blockOffset(number) + std::size_t(bs);
    if (roomAhead(end)) {
        encodeBlockHeader(block(number), 0, h_.lastBlock, 0);
        std::memcpy(block(number) + kBlockHeader, record.data(), std::size_t(rs));
    } else {
        if (newBlock_.size() != std::size_t(bs)) newBlock_.assign(std::size_t(bs), 0);
        encodeBlockHeader(newBlock_.data(), 0, h_.lastBlock, 0);
        std::memcpy(newBlock_.data() + kBlockHeader, record.data(), std::size_t(rs));
        pwriteAll(db_, newBlock_.data(), newBlock_.size(), blockOffset(number), dbPath_);
        dbEnd_ = end;
        dbMap_ = fileio::remap(db_, dbMap_, dbMapLen_);
        if (!dbMap_) fail(dbPath_, "map");
    }
    const bool pxReady = keyed() && pxPrepareEntry();
    blocks_.push_back({std::uint16_t(number), 1, record.substr(0, std::size_t(keyLength_))});
    // An index that needs another level is written in full before the block joins the
    // chain and renamed into place by the commit's last step: a kill while it is being
    // written leaves the old table and index.
    std::optional<fs::path> stagedPx;
    if (keyed() && !pxReady) stagedPx = stagePx();
    touchForCommit(0);
    for (int off : {hdr::UsedBlocks, hdr::FileBlocks, hdr::MaxBlocks}) commit_.store16(db, std::size_t(off), std::uint16_t(number));
    commit_.store16(db, h_.lastBlock ? blockOffset(h_.lastBlock) : std::size_t(hdr::FirstBlock), std::uint16_t(number));
    commit_.store16(db, hdr::LastBlock, std::uint16_t(number));
    commit_.store32(db, hdr::NumRecords, h_.numRecords + 1);
    if (lastAutoInc) commit_.store32(db, hdr::AutoInc, *lastAutoInc);
    if (heldDb_ >= 0) commit_.hold(heldDb_, end);
    if (pxReady)
        pxAddEntry(blocks_.back().firstKey, std::uint16_t(number));
    else if (stagedPx)
        commit_.rename(commit_.file(pxTemp_), commit_.file(pxAbsolute_));
    if (stagedPx && !fileio::kReplacesOpenFiles) closePx();
    commit();
    if (keyed() && !pxReady) openPx(stagedPx.has_value());
    h_.fileBlocks = std::uint16_t(number);
    if (!h_.lastBlock) h_.firstBlock = std::uint16_t(number);
    h_.lastBlock = std::uint16_t(number);
    ++h_.numRecords;
    if (lastAutoInc) h_.autoInc = *lastAutoInc;
    // Blocks behind the last one are not touched again by appends; the header page stays.
    // Released in whole large pages, so that the one the appends go on writing stays mapped whole.
    const std::size_t keep = (h_.headerSize + std::size_t(number - 1) * std::size_t(bs)) / kLargePage * kLargePage;
    if (keep > released_ + (std::size_t(1) << 20)) {
        fileio::release(dbMap_ + released_, keep - released_);
        released_ = keep;
    }
}

// Alpha keys of a table whose sort order is a dictionary order would be put where that
// order does not have them; such a table is left as it is.
void Table::checkKeyOrder(const Header& h) const
{
    if (binarySortOrder(h)) return;
    for (int i = 0; i < h.keyFields && i < int(h.fields.size()); ++i)
        if (h.fields[std::size_t(i)].type == FieldType::Alpha)
            throw Error("The table '" + fileio::nameOf(dbPath_.stem()) + "' sorts its keys in the order \"" + h.sortName +
                        "\", which this program cannot keep; the table is not changed");
}

Table::Result Table::append(std::string& record, const std::vector<Blob>& blobs, std::optional<std::uint32_t> lastAutoInc)
{
    if (stale_) load();
    const StaleOnThrow staleOnThrow(*this);
    if (keyed() && !keyOrderKept_) checkKeyOrder(h_);
    beginWriting();
    // Another writer of the same file (another Database on the folder) moves the header
    // on; the shared mapping shows it, and the table is read again before writing.
    if (getLe32(dbMap_ + hdr::NumRecords) != h_.numRecords || getLe16(dbMap_ + hdr::FileBlocks) != h_.fileBlocks) {
        load();
        beginWriting();
    }
    const int keyLen = keyLength_;
    const bool inOrder = !keyed() || h_.numRecords == 0 || std::memcmp(record.data(), lastKey_.data(), std::size_t(keyLen)) > 0;
    if (!inOrder) {
        std::vector<std::string> records;
        records.reserve(h_.numRecords + 1);
        bool duplicate = false;
        forEach([&](const unsigned char* r) {
            if (std::memcmp(r, record.data(), std::size_t(keyLen)) == 0) duplicate = true;
            records.emplace_back(reinterpret_cast<const char*>(r), h_.recordSize);
        });
        if (duplicate) return Result::Duplicate;
        writeBlobs(record, blobs);
        const auto at = std::lower_bound(records.begin(), records.end(), record, [&](const std::string& a, const std::string& b) {
            return std::memcmp(a.data(), b.data(), std::size_t(keyLen)) < 0;
        });
        records.insert(at, record);
        std::optional<Header> h = laidOutFor(h_, records.size());
        if (!h) return Result::Full;
        if (lastAutoInc) h->autoInc = *lastAutoInc;
        rebuild(std::move(records), *h);
        return Result::Ok;
    }
    const bool newBlock = blocks_.empty() || blocks_.back().count >= h_.recordsPerBlock();
    if (newBlock && h_.fileBlocks >= h_.maxBlocks()) {
        if (h_.blockCode >= kLargestBlockCode) return Result::Full;
        growBlocks();
        return append(record, blobs, lastAutoInc);
    }
    writeBlobs(record, blobs);
    appendInPlace(record, lastAutoInc);
    if (keyed()) {
        lastKey_.resize(std::size_t(keyLen));
        std::memcpy(lastKey_.data(), record.data(), std::size_t(keyLen));
    }
    return Result::Ok;
}

// A table whose blocks are all in use (65,535, or 32,767 when keyed) is raised, as Paradox
// raises a table's level when it must, to level 7 with the largest block, so that it is
// rewritten once and not at every doubling; the records and the blob file stay as they are.
Header Table::raisedToLargestBlocks(Header h)
{
    h.version = std::max(h.version, kVersion7);
    h.blockCode = kLargestBlockCode;
    return h;
}

// The header `h` for `count` records in full blocks, raised to the largest blocks when its
// own do not number enough; none when those do not either.
std::optional<Header> Table::laidOutFor(Header h, std::size_t count)
{
    auto fits = [&](const Header& candidate) {
        const auto per = std::size_t(candidate.recordsPerBlock());
        return (count + per - 1) / per <= std::size_t(candidate.maxBlocks());
    };
    if (!fits(h) && h.blockCode < kLargestBlockCode) h = raisedToLargestBlocks(h);
    if (!fits(h)) return std::nullopt;
    return h;
}

// The header of a table of `count` records laid out in full blocks from block 1 on.
static int layOut(Header& h, std::size_t count)
{
    const int per = h.recordsPerBlock();
    const int nBlocks = int((count + std::size_t(per) - 1) / std::size_t(per));
    h.numRecords = std::uint32_t(count);
    h.fileBlocks = std::uint16_t(nBlocks);
    h.firstBlock = nBlocks ? 1 : 0;
    h.lastBlock = std::uint16_t(nBlocks);
    h.headerSize = std::uint16_t(std::max<int>(h.headerSize, headerBytesNeeded(h, false)));
    return nBlocks;
}

// Copies the records block by block into the new file, so memory stays that of one block
// however large the table is; the new index and table are put in place as in rebuild().
void Table::growBlocks()
{
    Header h = raisedToLargestBlocks(h_);
    const int rs = h.recordSize, bs = h.blockSize(), per = h.recordsPerBlock();
    const int nBlocks = layOut(h, h_.numRecords);
    std::vector<unsigned char> buffer = encodeHeader(h, false);
    buffer.resize(std::max<std::size_t>(h.headerSize, std::size_t(bs)), 0);
    const fs::path temp = tempName(dbPath_);
    const fileio::Handle fd = createTemp(temp, std::size_t(h.headerSize) + std::size_t(nBlocks) * std::size_t(bs));
    std::vector<BlockRef> grown;
    try {
        pwriteAll(fd, buffer.data(), h.headerSize, 0, temp);
        std::fill(buffer.begin(), buffer.end(), 0);
        int inBlock = 0;
        auto flush = [&] {
            const int k = int(grown.size());
            encodeBlockHeader(buffer.data(), k + 1 == nBlocks ? 0 : k + 2, k, (inBlock - 1) * rs);
            pwriteAll(fd, buffer.data(), std::size_t(bs), h.headerSize + std::uint64_t(k) * std::uint64_t(bs), temp);
            grown.push_back({std::uint16_t(k + 1), inBlock,
                             std::string(reinterpret_cast<const char*>(buffer.data()) + kBlockHeader, std::size_t(h.keyLength()))});
            std::fill(buffer.begin(), buffer.end(), 0);
            inBlock = 0;
        };
        forEach([&](const unsigned char* r) {
            std::memcpy(buffer.data() + kBlockHeader + std::size_t(inBlock) * std::size_t(rs), r, std::size_t(rs));
            if (++inBlock == per) flush();
        });
        if (inBlock) flush();
    } catch (...) {
        fileio::close(fd);
        fileio::remove(temp);
        throw;
    }
    fileio::close(fd);
    blocks_ = std::move(grown);
    h_ = h;
    replaceFiles(keyed() && stagePx());
}

// Renames the table written under its temporary name into place, and first the index of
// its blocks when `stagedPx`, as one commit: a kill between the two renames leaves neither
// half of the change.
void Table::replaceFiles(bool stagedPx)
{
    // The guardian must not cut the new file to the old one's length.
    cutRoomAhead();
    commit_.clear();
    if (stagedPx) commit_.rename(commit_.file(pxTemp_), commit_.file(pxAbsolute_));
    commit_.rename(commit_.file(dbTemp_), commit_.file(dbAbsolute_));
    if (!fileio::kReplacesOpenFiles) unmapAll();
    commit();
    // The replaced file has left the folder. Closing its last descriptor frees its pages
    // and disk blocks, tens of milliseconds for a large table, which the statement need
    // not wait for.
    if (dbMap_) fileio::unmap(dbMap_, dbMapLen_);
    dbMap_ = nullptr;
    if (db_ != fileio::kNoHandle) closeInBackground(std::exchange(db_, fileio::kNoHandle));
    load();
}

void Table::rebuild(std::vector<std::string> records, Header h)
{
    const int rs = h.recordSize, bs = h.blockSize();
    const int per = h.recordsPerBlock();
    const int nBlocks = layOut(h, records.size());
    std::vector<unsigned char> image = encodeHeader(h, false);
    image.resize(h.headerSize + std::size_t(nBlocks) * std::size_t(bs), 0);
    blocks_.clear();
    for (int k = 0; k < nBlocks; ++k) {
        unsigned char* b = image.data() + h.headerSize + std::size_t(k) * std::size_t(bs);
        const int from = k * per, to = std::min<int>(int(records.size()), from + per);
        for (int i = from; i < to; ++i) std::memcpy(b + kBlockHeader + (i - from) * rs, records[std::size_t(i)].data(), std::size_t(rs));
        encodeBlockHeader(b, k + 1 == nBlocks ? 0 : k + 2, k, (to - from - 1) * rs);
        blocks_.push_back({std::uint16_t(k + 1), to - from, records[std::size_t(from)].substr(0, std::size_t(h.keyLength()))});
    }
    h_ = h;
    const bool stagedPx = keyed() && stagePx();
    try {
        writeTemp(dbPath_, image);
    } catch (...) {
        if (stagedPx) fileio::remove(pxTemp_);
        throw;
    }
    replaceFiles(stagedPx);
}

Table::Result Table::makePrimary(int keyFields)
{
    if (stale_) load();
    const StaleOnThrow staleOnThrow(*this);
    Header h = h_;
    h.fileType = kKeyedDb;
    h.keyFields = std::uint16_t(keyFields);
    checkKeyOrder(h);
    const int keyLen = h.keyLength();
    std::vector<std::string> records;
    forEach([&](const unsigned char* r) { records.emplace_back(reinterpret_cast<const char*>(r), h_.recordSize); });
    std::stable_sort(records.begin(), records.end(), [&](const std::string& a, const std::string& b) {
        return std::memcmp(a.data(), b.data(), std::size_t(keyLen)) < 0;
    });
    for (std::size_t i = 1; i < records.size(); ++i)
        if (std::memcmp(records[i - 1].data(), records[i].data(), std::size_t(keyLen)) == 0) return Result::Duplicate;
    const std::optional<Header> laidOut = laidOutFor(h, records.size());
    if (!laidOut) return Result::Full;
    beginWriting();
    rebuild(std::move(records), *laidOut);
    return Result::Ok;
}

void Table::forEach(const std::function<void(const unsigned char*)>& fn) const
{
    // A table being written has its file mapped: the records are read where they lie, not
    // copied block by block (a table that outgrows its blocks is read whole to be rewritten).
    // Pages the appends had handed back are handed back again once read, a large page at a
    // time, so that memory stays that of a few pages however large the table is.
    if (writing_ && dbMap_) {
        std::size_t released = std::min(released_, (h_.headerSize + pageSize() - 1) / pageSize() * pageSize());
        for (const BlockRef& r : blocks_) {
            const std::size_t start = blockOffset(r.number);
            for (int i = 0; i < r.count; ++i) fn(dbMap_ + start + kBlockHeader + std::size_t(i) * h_.recordSize);
            const std::size_t behind = std::min<std::size_t>(released_, start / kLargePage * kLargePage);
            if (behind > released) {
                fileio::release(dbMap_ + released, behind - released);
                released = behind;
            }
        }
        return;
    }
    forEachIn(0, blocks_.size(), fn);
}

void Table::forEachIn(std::size_t first, std::size_t last, const std::function<void(const unsigned char*)>& fn) const
{
    std::uint64_t fileSize = 0;
    if (!fileio::size(db_, fileSize)) fail(dbPath_, "examine");
    BlockReader reader(db_, dbPath_, fileSize, h_.headerSize, h_.blockSize());
    for (std::size_t b = first; b < std::min(last, blocks_.size()); ++b) {
        const BlockRef& r = blocks_[b];
        const std::size_t used = kBlockHeader + std::size_t(r.count) * h_.recordSize;
        const unsigned char* buf = reader.read(r.number, used, used);
        for (int i = 0; i < r.count; ++i) fn(buf + kBlockHeader + std::size_t(i) * h_.recordSize);
    }
}

std::string Table::blob(int field, const unsigned char* record) const
{
    const Field& f = h_.fields[std::size_t(field)];
    const unsigned char* d = record + fieldOffset(field);
    const int leader = f.leader();
    const std::uint32_t where = getLe32(d + leader), len = getLe32(d + leader + 4);
    if (len == 0) return {};
    if (len <= std::uint32_t(leader)) return std::string(reinterpret_cast<const char*>(d), len);
    // Found and opened once: looking the file up in its folder costs more than reading a blob.
    fileio::Handle fd = fileio::kNoHandle;
    {
        const std::lock_guard<std::mutex> opening(mbReaderOpening_);
        if (mbReader_ == fileio::kNoHandle) {
            const fs::path found = findFamilyFile(dbPath_.parent_path(), fileio::nameOf(dbPath_.stem()), ".MB").value_or(fs::path());
            if (found.empty()) damaged(dbPath_, "its blob file is missing");
            mbReader_ = fileio::open(found, fileio::Open::Read);
            if (mbReader_ == fileio::kNoHandle) fail(found, "open");
            mbReaderPath_ = found;
        }
        fd = mbReader_;
    }
    const fs::path& mbPath = mbReaderPath_;
    std::uint64_t fileSize = 0;
    if (!fileio::size(fd, fileSize)) fail(mbPath, "examine");
    const std::uint64_t base = where & ~0xFFu, index = where & 0xFFu;
    unsigned char head[12];
    if (base + sizeof head > fileSize) damaged(mbPath, "a blob lies beyond the end of the file");
    preadAll(fd, head, sizeof head, base, mbPath);
    std::uint64_t at = 0;
    if (head[0] == 2 && index == 0xFF && getLe32(head + 3) == len) {
        at = base + 9;
    } else if (head[0] == 3 && index < 64) {
        unsigned char slot[5];
        preadAll(fd, slot, sizeof slot, base + 12 + 5 * index, mbPath);
        if (slot[0] == 0 || slot[1] == 0 || std::uint32_t((slot[1] - 1) * 16 + slot[4]) != len)
            damaged(mbPath, "a blob slot does not match its record");
        at = base + slot[0] * 16u;
    } else {
        damaged(mbPath, "the block at offset " + std::to_string(base) + " does not hold a blob of " + std::to_string(len) + " bytes");
    }
    if (at + len > fileSize) damaged(mbPath, "a blob is cut short");
    std::string out(len, '\0');
    preadAll(fd, out.data(), len, at, mbPath);
    return out;
}

}  // namespace paradox
