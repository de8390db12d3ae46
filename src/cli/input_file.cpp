#include "cli/input_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>

namespace cli {

namespace {

std::string because(const char *what, int error)
{
    return std::string(what) + ": " + std::strerror(error);
}

// A read error must not pass for the end of the file.
bool readStream(std::FILE *stream, std::string &text, std::string &error)
{
    char chunk[65536];
    std::size_t count;
    try {
        while ((count = std::fread(chunk, 1, sizeof chunk, stream)) > 0) {
            text.append(chunk, count);
        }
    } catch (const std::bad_alloc &) {
        text.clear();
        error = because("cannot read", ENOMEM);
        return false;
    }
    if (std::ferror(stream)) {
        error = because("cannot read", errno != 0 ? errno : EIO);
        return false;
    }
    return true;
}

} // namespace

bool readNamedFile(const std::string &path, std::string &text, std::string &error)
{
    text.clear();
    errno = 0;
    std::FILE *stream = std::fopen(path.c_str(), "rb");
    if (stream == nullptr) {
        error = because("cannot open", errno != 0 ? errno : ENOENT);
        return false;
    }
    bool read = readStream(stream, text, error);
    std::fclose(stream);
    return read;
}

bool readInputFile(const std::string &path, std::string &text, std::string &error)
{
    if (path != "-") {
        return readNamedFile(path, text, error);
    }
    text.clear();
    errno = 0;
    return readStream(stdin, text, error);
}

std::string inputName(const std::string &path) { return path == "-" ? "standard input" : path; }

} // namespace cli
