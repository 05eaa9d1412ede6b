// The external is a module that the host loads by its file name and enters through
// ext_main; nothing else of it may be visible to the host or to other externals.
#include <gtest/gtest.h>

#include <stdio.h>
#include <string>
#include <vector>

namespace {

std::vector<std::string> run_lines(const std::string &command)
{
    std::vector<std::string> lines;
    FILE *pipe = popen(command.c_str(), "r");
    if (!pipe)
        return lines;
    char line[4096];
    while (fgets(line, sizeof line, pipe)) {
        std::string text(line);
        while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
            text.pop_back();
        lines.push_back(text);
    }
    pclose(pipe);
    return lines;
}

TEST(ModuleExports, NamedAsTheSdkNamesALinuxExternal)
{
    std::string path = VORLO_MODULE_FILE;
    std::string name = path.substr(path.find_last_of('/') + 1);
    EXPECT_EQ(name, "vorlo~.mxl_x86_64");
}

TEST(ModuleExports, ExportsExtMainAndNothingElse)
{
    std::vector<std::string> symbols =
        run_lines(std::string("nm -D --defined-only '") + VORLO_MODULE_FILE + "' | awk '{print $3}'");
    ASSERT_FALSE(symbols.empty()) << "nm found no dynamic symbols";
    std::vector<std::string> functions_and_data;
    for (const std::string &s : symbols)
        if (!s.empty())
            functions_and_data.push_back(s);
    EXPECT_EQ(functions_and_data, std::vector<std::string>{"ext_main"});
}

} // namespace
