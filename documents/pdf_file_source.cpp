#include "documents/pdf_file_source.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <vector>

namespace {

constexpr size_t kBlockBytes = size_t(64) << 10;
// Enough for the cross-reference table, the page tree and a stream read
// while objects elsewhere are looked up.
constexpr int kBlocks = 8;

class CachedFile : public InputSource {
  public:
    CachedFile(int fd, qpdf_offset_t size, std::string name) : fd_(fd), size_(size), name_(std::move(name))
    {
        for (Block& b : blocks_) b.bytes.resize(kBlockBytes);
    }
    ~CachedFile() override { close(fd_); }
    CachedFile(const CachedFile&) = delete;
    CachedFile& operator=(const CachedFile&) = delete;

    std::string const& getName() const override { return name_; }
    qpdf_offset_t tell() override { return position_; }
    void rewind() override { position_ = 0; }
    void unreadCh(char) override
    {
        if (position_ > 0) position_--;
    }
    void seek(qpdf_offset_t offset, int whence) override
    {
        qpdf_offset_t base = whence == SEEK_END ? size_ : whence == SEEK_CUR ? position_ : 0;
        // Beyond the end is allowed, as for a file; reads there find nothing.
        if ((offset < 0 && base < -offset) || (offset > 0 && base > INT64_MAX - offset))
            throw std::runtime_error(name_ + ": seek before the start of the file");
        position_ = base + offset;
    }
    size_t read(char* buffer, size_t length) override;
    qpdf_offset_t findAndSkipNextEOL() override;

  private:
    struct Block {
        qpdf_offset_t start = -1;  // -1: empty
        size_t valid = 0;
        std::vector<char> bytes;
    };
    const Block& BlockAt(qpdf_offset_t start);

    int fd_;
    qpdf_offset_t size_, position_ = 0;
    std::string name_;
    Block blocks_[kBlocks];
    int next_ = 0;  // the block replaced next, in turn
};

const CachedFile::Block& CachedFile::BlockAt(qpdf_offset_t start)
{
    for (const Block& b : blocks_)
        if (b.start == start) return b;
    Block& b = blocks_[next_];
    next_ = (next_ + 1) % kBlocks;
    b.start = -1;
    size_t got = 0;
    while (got < kBlockBytes) {
        ssize_t n = pread(fd_, b.bytes.data() + got, kBlockBytes - got, off_t(start) + off_t(got));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) throw std::runtime_error(name_ + ": " + std::strerror(errno));
        if (n == 0) break;
        got += size_t(n);
    }
    b.start = start;
    b.valid = got;
    return b;
}

size_t CachedFile::read(char* buffer, size_t length)
{
    last_offset = position_;
    size_t done = 0;
    while (done < length && position_ < size_) {
        qpdf_offset_t start = position_ - position_ % qpdf_offset_t(kBlockBytes);
        const Block& b = BlockAt(start);
        size_t at = size_t(position_ - start);
        if (at >= b.valid) break;  // the file is shorter than when it was opened
        size_t n = b.valid - at < length - done ? b.valid - at : length - done;
        std::memcpy(buffer + done, b.bytes.data() + at, n);
        done += n;
        position_ += qpdf_offset_t(n);
    }
    // As qpdf's own file source: a read that finds nothing leaves the
    // position, and the offset of the last read, at the end.
    if (done == 0 && length > 0) last_offset = position_ = size_;
    return done;
}

// The offset of the next CR or LF from the current position, with the
// position moved past the whole run of CR and LF that starts there; at the
// end of the file, the end's offset.
qpdf_offset_t CachedFile::findAndSkipNextEOL()
{
    char chunk[512];
    for (;;) {
        qpdf_offset_t at = position_;
        size_t n = read(chunk, sizeof chunk);
        if (n == 0) return position_;
        for (size_t i = 0; i < n; i++) {
            if (chunk[i] != '\r' && chunk[i] != '\n') continue;
            size_t past = i;
            while (past < n && (chunk[past] == '\r' || chunk[past] == '\n')) past++;
            position_ = at + qpdf_offset_t(past);
            char c;
            // A run that reaches the chunk's end may go on after it.
            while (past == n && read(&c, 1) == 1) {
                if (c != '\r' && c != '\n') {
                    unreadCh(c);
                    break;
                }
            }
            return at + qpdf_offset_t(i);
        }
    }
}

}  // namespace

std::shared_ptr<InputSource> OpenCachedFile(const char* name)
{
    int fd = open(name, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return nullptr;
    struct stat facts;
    if (fstat(fd, &facts) != 0 || !S_ISREG(facts.st_mode)) {
        close(fd);  // qpdf, opening it itself, says why
        return nullptr;
    }
    try {
        return std::make_shared<CachedFile>(fd, qpdf_offset_t(facts.st_size), name);
    } catch (...) {
        close(fd);
        throw;
    }
}
