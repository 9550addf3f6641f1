#include "inputs.h"

#include <cerrno>
#include <cstring>
#include <utility>

#include "fdsn_xml.h"
#include "line_numbers.h"
#include "system.h"

namespace filter {

int open_input(const char *name)
{
    if (std::strcmp(name, "-") == 0)
        return 0;
    int fd = open(name, O_RDONLY | O_CLOEXEC | O_BINARY);
#ifdef _WIN32
    struct _stat st;
    if (fd < 0 && errno == EACCES && _stat(name, &st) == 0 && (st.st_mode & _S_IFDIR))
        errno = EISDIR;
#endif
    return fd;
}

long read_some(int fd, char *buf, size_t n)
{
    for (;;) {
        auto got = ::read(fd, buf, static_cast<unsigned>(n));
        if (got < 0 && errno == EINTR)
            continue;
        return static_cast<long>(got);
    }
}

bool write_all(int fd, const char *p, size_t n)
{
    while (n > 0) {
        auto done = ::write(fd, p, static_cast<unsigned>(n));
        if (done < 0 && errno == EINTR)
            continue;
        if (done <= 0) {
            if (done == 0)
                errno = EIO;
            return false;
        }
        p += done;
        n -= static_cast<size_t>(done);
    }
    return true;
}

InputFile::InputFile(const char *name) : name_(name)
{
    fd_ = open_input(name);
    if (fd_ < 0)
        error_ = errno;
}

InputFile::~InputFile()
{
    if (fd_ > 0)
        close(fd_);
}

InputFile::InputFile(InputFile &&other) noexcept { *this = std::move(other); }

InputFile &InputFile::operator=(InputFile &&other) noexcept
{
    if (this != &other) {
        if (fd_ > 0)
            close(fd_);
        name_ = std::move(other.name_);
        fd_ = std::exchange(other.fd_, -1);
        error_ = other.error_;
        head_read_ = other.head_read_;
        head_ = std::move(other.head_);
    }
    return *this;
}

void InputFile::read_head()
{
    if (head_read_ || fd_ < 0)
        return;
    head_read_ = true;
    // A line's limit and one byte more tells a line too long; the stream
    // carries no more than that.
    constexpr size_t most = max_line + 1;
    auto told = [&] {
        return files::kind_told(head_.data(), head_.size()) &&
               (xml() || head_.find('\n') != std::string::npos);
    };
    char buf[256];
    while (!told() && head_.size() < most) {
        const size_t want = most - head_.size() < sizeof buf ? most - head_.size() : sizeof buf;
        const long got = read_some(fd_, buf, want);
        if (got < 0)
            error_ = errno;
        if (got <= 0)
            break;
        head_.append(buf, static_cast<size_t>(got));
    }
}

bool InputFile::xml() const { return files::looks_like_xml(head_.data(), head_.size()); }

files::TextHeader InputFile::text() const { return files::fdsn_text(head_.data(), head_.size()); }

InputFile &Inputs::peek(const char *name)
{
    auto it = peeked_.find(name);
    if (it == peeked_.end())
        it = peeked_.emplace(name, InputFile(name)).first;
    it->second.read_head();
    return it->second;
}

InputFile Inputs::take(const char *name)
{
    auto it = peeked_.find(name);
    if (it == peeked_.end())
        return InputFile(name);
    InputFile taken = std::move(it->second);
    peeked_.erase(it);
    return taken;
}

}  // namespace filter
