#include "support/process_run.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include <sys/wait.h>

#include "support/scratch_path.h"

namespace testing_support {
namespace {

std::string slurp(const std::string &path)
{
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

} // namespace

ProcessRun runProcess(const std::string &binary, const std::string &arguments,
                      const std::string &stdoutRedirect)
{
    const std::string outPath = scratchPath("out");
    const std::string errPath = scratchPath("err");
    std::string command = "'" + binary + "' " + arguments + " " +
                          (stdoutRedirect.empty() ? ">'" + outPath + "'" : stdoutRedirect) +
                          " 2>'" + errPath + "'";
    std::remove(outPath.c_str());
    int raw = std::system(command.c_str());
    ProcessRun run;
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    run.out = slurp(outPath);
    run.err = slurp(errPath);
    std::remove(outPath.c_str());
    std::remove(errPath.c_str());
    return run;
}

} // namespace testing_support
