#include "explain/input/input_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace explain {

namespace {

bool readStream(std::FILE *stream, std::string &text, std::string &error)
{
    char chunk[65536];
    std::size_t count;
    while ((count = std::fread(chunk, 1, sizeof chunk, stream)) > 0) {
        text.append(chunk, count);
    }
    if (std::ferror(stream)) {
        error = std::strerror(errno != 0 ? errno : EIO);
        return false;
    }
    return true;
}

} // namespace

bool readInputFile(const std::string &path, std::string &text, std::string &error)
{
    text.clear();
    errno = 0;
    if (path == "-") {
        return readStream(stdin, text, error);
    }
    std::FILE *stream = std::fopen(path.c_str(), "rb");
    if (stream == nullptr) {
        error = std::strerror(errno != 0 ? errno : ENOENT);
        return false;
    }
    bool read = readStream(stream, text, error);
    std::fclose(stream);
    return read;
}

std::string inputName(const std::string &path) { return path == "-" ? "standard input" : path; }

} // namespace explain
