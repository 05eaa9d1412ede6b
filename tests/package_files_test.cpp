// The Max package's help patcher and reference page, checked against what the class
// registers in the host, the README's examples and the demo files, and the checker itself
// against copies of the files with one fault each. Each example message of the help
// patcher is loaded through vorlo-host with the demo files in the search path, and the
// README's picture of the help patcher is what the patcher's boxes and lines draw.
#include "fixtures.h"
#include "headless_host.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <sys/wait.h>

namespace {

const std::string source_dir = VORLO_SOURCE_DIR;
const std::string help_file = source_dir + "/packaging/help/vorlo~.maxhelp";
const std::string ref_file = source_dir + "/packaging/docs/refpages/vorlo~.maxref.xml";
const std::string readme_file = source_dir + "/README.md";
const std::string info_file = source_dir + "/packaging/package-info.json";
const std::string picture_file = source_dir + "/docs/help-patcher.svg";

std::string read_file(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

std::string quoted(const std::string &text)
{
    std::string q = "\"";
    for (char c : text)
        q += c == '"' || c == '\\' ? std::string("\\") + c : std::string(1, c);
    return q + "\"";
}

// An attribute's value on a fresh instance, as the reference page writes a default.
std::string default_text(t_object *x, const std::string &attr)
{
    std::vector<t_atom> value;
    host_attr_value(x, attr.c_str(), &value);
    if (value.size() == 1 && value[0].a_type == A_SYM && atom_getsym(&value[0]) == gensym(""))
        return "";
    return host_format_atoms((long)value.size(), value.data());
}

// The class as registered: its messages with their argument types, its attributes with
// their types and defaults, its inlet (a plain object has one) and its outlets.
std::string class_description()
{
    HostSession s;
    t_object *x = host_instance(s.id);
    std::string json = "{\"name\": \"vorlo~\", \"inlets\": 1, \"outlets\": " + std::to_string(host_outlet_count(x));
    json += ", \"messages\": [";
    const char *separator = "";
    for (const auto &m : host_method_list("vorlo~")) {
        json += separator + std::string("{\"name\": ") + quoted(m.first) + ", \"types\": [";
        for (size_t i = 0; i < m.second.size(); i++)
            json += (i ? ", " : "") + std::to_string(m.second[i]);
        json += "]}";
        separator = ", ";
    }
    json += "], \"attributes\": [";
    separator = "";
    for (const std::string &a : host_attr_names("vorlo~")) {
        json += separator + std::string("{\"name\": ") + quoted(a) + ", \"type\": " +
                quoted(host_attr_type("vorlo~", a.c_str())) + ", \"default\": " + quoted(default_text(x, a)) + "}";
        separator = ", ";
    }
    return json + "]}";
}

struct check_result {
    int status;
    std::string faults;
};

check_result run_command(const std::string &command)
{
    std::string out = fixture_dir_path("package_check.out");
    int status = system((command + " >" + out + " 2>&1").c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, read_file(out)};
}

// The package's demo files, made as packaging makes them.
const std::string &demo_media()
{
    static const std::string dir = [] {
        std::string d = fixture_dir_path("demo-media");
        EXPECT_EQ(system((source_dir + "/scripts/demo-media.sh " + d).c_str()), 0);
        return d;
    }();
    return dir;
}

check_result run_check(const std::string &help, const std::string &ref, const std::string &readme,
                       const std::string &info)
{
    static const std::string description = class_description();
    std::string cls = fixture_dir_path("package_class.json");
    std::ofstream(cls) << description;
    return run_command("python3 " + source_dir + "/tests/package_files_check.py " + cls + " '" + help + "' '" + ref +
                       "' '" + readme + "' '" + info + "' " + demo_media());
}

TEST(PackageFiles, TheClassIsAsTheHostRegisteredIt)
{
    std::string cls = class_description();
    for (const char *part : {"{\"name\": \"import\", \"types\": [8]}", "{\"name\": \"break\", \"types\": []}",
                             "{\"name\": \"resample\", \"type\": \"char\", \"default\": \"0\"}",
                             "{\"name\": \"stream_nb\", \"type\": \"long\", \"default\": \"-1\"}",
                             "{\"name\": \"metadatadict\", \"type\": \"atom\", \"default\": \"\"}", "\"outlets\": 4"})
        EXPECT_NE(cls.find(part), std::string::npos) << part << " in " << cls;
}

TEST(PackageFiles, HelpPatcherAndReferencePageMatchTheClass)
{
    check_result r = run_check(help_file, ref_file, readme_file, info_file);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.faults, "");
}

check_result run_loads(const std::string &help)
{
    return run_command("python3 " + source_dir + "/tests/package_files_check.py --load " + VORLO_HOST_PROGRAM + " '" +
                       help + "' " + demo_media());
}

TEST(PackageFiles, EveryExampleMessageLoadsWithTheDemoFilesInTheSearchPath)
{
    check_result r = run_loads(help_file);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.faults, "");
    // A name that the search path does not hold is a load that fails.
    std::string copy = fixture_dir_path("package_help_unshipped.maxhelp"), text = read_file(help_file);
    text.replace(text.find("replace vorlo-demo.flac\""), strlen("replace vorlo-demo.flac"), "replace vorlo-demo.wav");
    std::ofstream(copy) << text;
    r = run_loads(copy);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.faults.find("[p basic]: \"replace vorlo-demo.wav\" does not load: exit status 0: vorlo~: error: Error "
                            "opening file.-> vorlo-demo.wav"),
              std::string::npos)
        << r.faults;
}

TEST(PackageFiles, TheReadmePictureIsDrawnFromTheHelpPatcher)
{
    check_result r = run_command("python3 " + source_dir + "/scripts/help-picture.py '" + help_file + "' basic | cmp - " +
                                 picture_file);
    EXPECT_EQ(r.status, 0) << r.faults << "scripts/help-picture.py packaging/help/vorlo~.maxhelp basic > docs/help-patcher.svg";
}

enum which_file { HELP, REF, README, INFO };

struct fault_case {
    const char *name;
    which_file file;
    const char *from;   // the text that the copy changes (its first occurrence)
    const char *to;
    const char *fault;  // what the checker must say
};

class PackageFaults : public ::testing::TestWithParam<fault_case> {};

TEST_P(PackageFaults, AreFound)
{
    const fault_case &c = GetParam();
    std::string paths[] = {help_file, ref_file, readme_file, info_file};
    std::string text = read_file(paths[c.file]);
    size_t at = text.find(c.from);
    ASSERT_NE(at, std::string::npos) << c.from;
    text.replace(at, strlen(c.from), c.to);
    paths[c.file] = fixture_dir_path(std::string("package_fault_") + c.name);
    std::ofstream(paths[c.file]) << text;
    check_result r = run_check(paths[HELP], paths[REF], paths[README], paths[INFO]);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.faults.find(c.fault), std::string::npos) << r.faults;
}

const fault_case fault_cases[] = {
    {"unknown_message", HELP, "\"text\" : \"break\"", "\"text\" : \"brake\"", "message \"brake\" is not one that vorlo~ understands"},
    {"message_not_sent", HELP, "\"text\" : \"break\"", "\"text\" : \"brake\"", "no message box sends break"},
    {"outlet_missing", HELP, "\"source\" : [ \"obj-vorlo\", 3 ]", "\"source\" : [ \"obj-vorlo\", 4 ]",
     "leaves obj-vorlo from outlet 4, which it does not have"},
    {"outlet_unconnected", HELP, "\"source\" : [ \"obj-vorlo\", 3 ]", "\"source\" : [ \"obj-vorlo\", 4 ]",
     "outlet 3 of vorlo~ is connected to nothing"},
    {"line_to_no_box", HELP, "\"destination\" : [ \"obj-props\", 0 ]", "\"destination\" : [ \"obj-nothing\", 0 ]",
     "joins obj-propset and obj-nothing, which are not both boxes"},
    {"inlet_missing", HELP, "\"destination\" : [ \"obj-props\", 0 ]", "\"destination\" : [ \"obj-props\", 2 ]",
     "enters obj-props at inlet 2"},
    {"attrui_of_no_attribute", HELP, "\"attr\" : \"fadeout_exp\"", "\"attr\" : \"fadeout_base\"",
     "an attrui shows fadeout_base"},
    {"attribute_not_shown", HELP, "\"attr\" : \"fadeout_exp\"", "\"attr\" : \"fadeout_base\"",
     "attribute fadeout_exp has neither an attrui nor a message box"},
    {"wrong_port_count", HELP, "\"numoutlets\" : 4", "\"numoutlets\" : 3", "shows 1 inlets and 3 outlets, not 1 and 4"},
    {"no_such_buffer", HELP, "\"text\" : \"buffer~ vorlo-snd\"", "\"text\" : \"buffer~ vorlo-snd2\"",
     "names no buffer~ of the patcher"},
    {"source_buffer_missing", HELP, "\"text\" : \"buffer~ vorlo-src\"", "\"text\" : \"buffer~ other\"",
     "names a buffer~ that the patcher lacks"},
    {"unknown_object", HELP, "\"text\" : \"dict vorlo-file\"", "\"text\" : \"dictionary vorlo-file\"",
     "is dictionary, no object"},
    {"file_not_shipped", HELP, "replace vorlo-demo.flac\"", "replace tones.flac\"",
     "names tones.flac, which the package does not ship in media/"},
    {"dict_file_not_shipped", HELP, "set filename vorlo-demo.flac", "set filename tones.flac",
     "names tones.flac, which the package does not ship in media/"},
    {"waveform_on_another_buffer", HELP, "\"buffername\" : \"vorlo-snd\"", "\"buffername\" : \"other\"",
     "waveform~ shows no buffer~ that a vorlo~ of the patcher writes"},
    {"waveform_not_told_after_a_load", HELP, "\"destination\" : [ \"obj-wfset\", 0 ]",
     "\"destination\" : [ \"obj-wfset\", 1 ]", "waveform~ is not told to show vorlo-snd after each load"},
    {"ezdac_one_side", HELP, "\"destination\" : [ \"obj-dac\", 1 ]", "\"destination\" : [ \"obj-dac\", 0 ]",
     "ezdac~ inlet 1 is not fed by channel 2 of a groove~"},
    {"no_gain_control", HELP, "\"source\" : [ \"obj-gain\", 0 ]", "\"source\" : [ \"obj-gaininit\", 0 ]",
     "ezdac~ inlet 0 is not fed by channel 1 of a groove~"},
    {"no_dropfile", HELP, "\"maxclass\" : \"dropfile\"", "\"maxclass\" : \"toggle\"",
     "no dropfile into prepend replace into vorlo~"},
    {"help_not_json", HELP, "\"patcher\" : {", "\"patcher\" : [", "not a patcher"},
    {"method_undocumented", REF, "<method name=\"break\">", "<method name=\"stop\">", "message break is not documented"},
    {"method_not_in_class", REF, "<method name=\"break\">", "<method name=\"stop\">",
     "documents message stop, which the class does not have"},
    {"attribute_undocumented", REF, "<attribute name=\"fadeout_exp\"", "<attribute name=\"fadeout_base\"",
     "attribute fadeout_exp is not documented"},
    {"wrong_type", REF, "<attribute name=\"resample\" get=\"1\" set=\"1\" type=\"char\"",
     "<attribute name=\"resample\" get=\"1\" set=\"1\" type=\"long\"", "attribute resample has type long, the class char"},
    {"wrong_default", REF, "type=\"long\" size=\"1\" value=\"-1\"", "type=\"long\" size=\"1\" value=\"0\"",
     "attribute stream_nb has default 0"},
    {"outlet_undocumented", REF, "<outlet id=\"3\" type=\"bang\">", "<outlet id=\"4\" type=\"bang\">",
     "the outlets are not 4"},
    {"ref_not_xml", REF, "</c74object>", "", "not XML"},
    {"ref_example_without_demo", REF, "Example: info vorlo-demo-video.mkv", "Example: info /tmp/clip.mkv",
     "message info has no example of its own with a demo file"},
    {"readme_example_not_in_help", README, "v import /tmp/tones.flac 0 sec 50 bufpct 1 sec",
     "v import /tmp/tones.flac 0 sec 50 bufpct 2 sec",
     "the README's example \"import /tmp/tones.flac 0 sec 50 bufpct 2 sec\" has no message box"},
    {"readme_load_example_not_in_help", README, "-o /tmp/part.wav importreplace 1 sec 500 ms",
     "-o /tmp/part.wav importreplace 1 sec 400 ms",
     "the README's example \"importreplace /tmp/tones.flac 1 sec 400 ms\" has no message box"},
    {"package_info_not_json", INFO, "\"name\" : \"vorlo\",", "\"name\" : \"vorlo\"", "not JSON"},
    {"package_info_without_version", INFO, "\"version\" : \"0.1.0\",", "", "no version"},
};

INSTANTIATE_TEST_SUITE_P(Checker, PackageFaults, ::testing::ValuesIn(fault_cases),
                         [](const ::testing::TestParamInfo<fault_case> &info) { return info.param.name; });

} // namespace
