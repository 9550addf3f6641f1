#include "run.h"

#include <cstdio>
#include <cstring>
#include <stdexcept>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#endif

#ifndef OSTREM_EMULATOR
#define OSTREM_EMULATOR ""
#endif

namespace {

// The emulator's words, '|'-separated by the build: empty natively.
std::vector<std::string> emulator()
{
    std::vector<std::string> words;
    std::string all = OSTREM_EMULATOR;
    for (size_t at = 0; at < all.size();) {
        size_t bar = all.find('|', at);
        if (bar == std::string::npos)
            bar = all.size();
        words.push_back(all.substr(at, bar - at));
        at = bar + 1;
    }
    return words;
}

}  // namespace

// A build under a sanitizer, known from the compiler's own word however
// it was asked for (OSTREM_SANITIZE, or -fsanitize in CMAKE_CXX_FLAGS):
// its programs reserve address space of their own and start slowly.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define OSTREM_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer) || \
    __has_feature(memory_sanitizer)
#define OSTREM_SANITIZED 1
#endif
#endif

bool slow_starts()
{
#if defined(OSTREM_SLOW_STARTS) || defined(OSTREM_SANITIZED)
    return true;
#else
    return false;
#endif
}

std::string shell_command(const std::string &prog)
{
    std::string s;
    for (const std::string &w : emulator())
        s += w + " ";
    return s + prog;
}

#ifdef _WIN32

namespace {

// One argument as the C runtime's command-line parser splits it back.
std::string quote(const std::string &a)
{
    if (!a.empty() && a.find_first_of(" \t\n\v\"") == std::string::npos)
        return a;
    std::string q = "\"";
    size_t slashes = 0;  // backslashes count only before a quote
    for (char c : a) {
        if (c == '\\') {
            slashes++;
            continue;
        }
        q.append(c == '"' ? 2 * slashes + 1 : slashes, '\\');
        slashes = 0;
        q += c;
    }
    q.append(2 * slashes, '\\');  // doubled before the closing quote
    return q + "\"";
}

HANDLE inheritable(const std::string &path, bool write)
{
    SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
    HANDLE h = CreateFileA(path.c_str(), write ? GENERIC_WRITE : GENERIC_READ,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, &sa,
                           write ? CREATE_ALWAYS : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        throw std::runtime_error("cannot open " + path);
    return h;
}

std::string slurp(const std::string &path)
{
    std::string s;
    if (FILE *f = std::fopen(path.c_str(), "rb")) {
        char buf[4096];
        for (size_t n; (n = std::fread(buf, 1, sizeof buf, f)) > 0;)
            s.append(buf, n);
        std::fclose(f);
    }
    return s;
}

}  // namespace

// Standard output and error go to files, which cannot fill up and stall
// the program as pipes read one after the other could.
Outcome run(const std::string &prog, const std::vector<std::string> &args,
            const std::vector<std::string> &env, const std::string &in)
{
    std::string line = quote(prog);
    for (const std::string &a : args)
        line += " " + quote(a);
    // The environment is inherited, with env's entries added.
    std::string block;
    if (!env.empty()) {
        char *inherited = GetEnvironmentStringsA();
        for (const char *p = inherited; *p; p += std::strlen(p) + 1)
            block.append(p, std::strlen(p) + 1);
        FreeEnvironmentStringsA(inherited);
        for (const std::string &e : env)
            block.append(e.c_str(), e.size() + 1);
        block += '\0';
    }
    TempFile out(""), err("");
    STARTUPINFOA si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = inheritable(in.empty() ? "NUL" : in, false);
    si.hStdOutput = inheritable(out.path, true);
    si.hStdError = inheritable(err.path, true);
    PROCESS_INFORMATION pi;
    // Under wine a start can fail while a new prefix is still being set
    // up by another test: try again a few times.
    BOOL started = FALSE;
    for (int tries = 0; !started && tries < 10; tries++) {
        if (tries > 0)
            Sleep(500);
        started = CreateProcessA(prog.c_str(), &line[0], nullptr, nullptr, TRUE, 0,
                                 block.empty() ? nullptr : &block[0], nullptr, &si, &pi);
    }
    CloseHandle(si.hStdInput);
    CloseHandle(si.hStdOutput);
    CloseHandle(si.hStdError);
    if (!started)
        throw std::runtime_error("cannot start " + prog + ": error " +
                                 std::to_string(GetLastError()));
    WaitForSingleObject(pi.hProcess, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
    // exit(-1) is 0xffffffff here; a shell elsewhere sees 255.  A crash
    // (an NTSTATUS of 0xc...) counts as a signal would.
    int status = (code & 0xf0000000u) == 0xc0000000u ? 128 + 11 : static_cast<int>(code & 0xff);
    return {slurp(out.path), slurp(err.path), status};
}

Outcome run_shell(const std::string &, const std::vector<std::string> &, const std::string &)
{
    throw std::runtime_error("no POSIX shell here");
}

bool have_shell() { return false; }

TempFile::TempFile(const std::string &text)
{
    char dir[MAX_PATH + 1], name[MAX_PATH + 1];
    if (!GetTempPathA(sizeof dir, dir) || !GetTempFileNameA(dir, "ost", 0, name))
        throw std::runtime_error("cannot make a temporary file");
    path = name;
    FILE *f = std::fopen(name, "wb");
    bool ok = f && std::fwrite(text.data(), 1, text.size(), f) == text.size();
    if (f)
        ok = std::fclose(f) == 0 && ok;
    if (!ok)
        throw std::runtime_error("cannot write " + path);
}

TempFile::~TempFile() { DeleteFileA(path.c_str()); }

#else

namespace {

Outcome spawn(std::vector<std::string> argv_, const std::vector<std::string> &env,
              const std::string &in)
{
    std::vector<char *> argv;
    for (std::string &a : argv_)
        argv.push_back(&a[0]);
    argv.push_back(nullptr);
    std::vector<char *> envp;
    for (const std::string &e : env)
        envp.push_back(const_cast<char *>(e.c_str()));
    envp.push_back(nullptr);

    int out[2], err[2];
    if (pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0)
        throw std::runtime_error("pipe");
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_addopen(&fa, 0, in.empty() ? "/dev/null" : in.c_str(), O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&fa, out[1], 1);
    posix_spawn_file_actions_adddup2(&fa, err[1], 2);
    pid_t pid;
    int rc = posix_spawn(&pid, argv[0], &fa, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&fa);
    close(out[1]);
    close(err[1]);
    if (rc != 0) {
        close(out[0]);
        close(err[0]);
        throw std::runtime_error("cannot start " + argv_[0]);
    }

    // Read both pipes together, so that neither can fill up and stall.
    Outcome r{"", "", -1};
    pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
    std::string *into[2] = {&r.out, &r.err};
    int open_fds = 2;
    while (open_fds > 0) {
        if (poll(fds, 2, -1) < 0 && errno != EINTR)
            break;
        for (int i = 0; i < 2; i++) {
            if (fds[i].fd < 0 || fds[i].revents == 0)
                continue;
            char buf[4096];
            ssize_t n = read(fds[i].fd, buf, sizeof buf);
            if (n > 0) {
                into[i]->append(buf, static_cast<size_t>(n));
            } else if (n == 0 || errno != EINTR) {
                close(fds[i].fd);
                fds[i].fd = -1;
                open_fds--;
            }
        }
    }
    int ws;
    while (waitpid(pid, &ws, 0) < 0 && errno == EINTR) {
    }
    r.status = WIFEXITED(ws) ? WEXITSTATUS(ws) : 128 + WTERMSIG(ws);
    return r;
}

}  // namespace

Outcome run(const std::string &prog, const std::vector<std::string> &args,
            const std::vector<std::string> &env, const std::string &in)
{
    std::vector<std::string> argv = emulator();
    argv.push_back(prog);
    argv.insert(argv.end(), args.begin(), args.end());
    return spawn(argv, env, in);
}

Outcome run_shell(const std::string &script, const std::vector<std::string> &env,
                  const std::string &in)
{
    return spawn({"/bin/sh", "-c", script}, env, in);
}

bool have_shell() { return true; }

TempFile::TempFile(const std::string &text)
{
    char name[] = "/tmp/ostrem_test_XXXXXX";
    int fd = mkstemp(name);
    if (fd < 0)
        throw std::runtime_error("mkstemp");
    bool ok = write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    close(fd);
    path = name;
    if (!ok)
        throw std::runtime_error("cannot write " + path);
}

TempFile::~TempFile() { unlink(path.c_str()); }

#endif
