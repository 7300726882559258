// cmake --install into a temporary prefix: the program folder, the programs on the PATH, the
// desktop entry, icons, file types and thumbnailer, and the installed command-line tool at work.

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "tests/support/temp_folder.h"

namespace varnel {
namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;

std::string Quoted(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

// Runs a shell command line; its exit status, and stdout with stderr in output.
int Shell(const std::string& command, std::string* output = nullptr) {
  FILE* pipe = popen((command + " 2>&1").c_str(), "r");
  if (pipe == nullptr) return -1;
  std::string text;
  std::array<char, 4096> buffer;
  size_t n;
  while ((n = fread(buffer.data(), 1, buffer.size(), pipe)) > 0) text.append(buffer.data(), n);
  const int status = pclose(pipe);
  if (output) *output = text;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string ReadText(const fs::path& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// One prefix for the whole program: installing takes a while.
class InstallTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    prefix = new test::TempFolder;
    installLog = new std::string;
    installStatus = Shell(std::string(VARNEL_CMAKE_COMMAND) + " --install " + Quoted(VARNEL_BINARY_DIR) + " --prefix " +
                              Quoted(prefix->Path().string()),
                          installLog);
  }
  static void TearDownTestSuite() {
    delete prefix;
    delete installLog;
  }
  void SetUp() override { ASSERT_EQ(installStatus, 0) << *installLog; }

  // Runs an installed program by its name on the PATH of the prefix alone, with no VARNEL_HOME,
  // so the program has to find its folder itself.
  static int RunInstalled(const std::string& arguments, std::string* output = nullptr) {
    const std::string bin = (prefix->Path() / "bin").string();
    return Shell("env -u VARNEL_HOME VARNEL_CONFIG=" + Quoted(prefix->File("varnel.ini")) + " PATH=" + Quoted(bin) +
                     ":/usr/bin:/bin " + arguments,
                 output);
  }

  static inline test::TempFolder* prefix = nullptr;
  static inline std::string* installLog = nullptr;
  static inline int installStatus = -1;
};

TEST_F(InstallTest, PutsTheProgramFolderUnderLibTheProgramsInBinAndTheIconsInTheTheme) {
  const fs::path folder = prefix->Path() / VARNEL_INSTALL_PROGRAM_DIR;
  for (const char* entry : {"varnel-cli", "libMemwell.so", "Pngport.spi", "Jpegport.spi", "Layerpeek.spi", "PAL.CD",
                            "res/html.ncl", "Filter", "Brush/Shape", "Save", "NetData", "SendTemp"})
    EXPECT_TRUE(fs::exists(folder / entry)) << entry;
  const fs::path link = prefix->Path() / "bin/varnel-cli";
  ASSERT_TRUE(fs::is_symlink(link));
  EXPECT_TRUE(fs::read_symlink(link).is_relative()) << fs::read_symlink(link);
  EXPECT_TRUE(fs::equivalent(link, folder / "varnel-cli"));
  for (const char* icon : {"scalable/apps/varnel.svg", "16x16/apps/varnel.png", "256x256/apps/varnel.png"})
    EXPECT_TRUE(fs::is_regular_file(prefix->Path() / "share/icons/hicolor" / icon)) << icon;
}

TEST_F(InstallTest, InstalledToolFindsItsPlugInsThroughTheLinkOnThePath) {
  const std::string vlb = prefix->File("new.vlb");
  const std::string png = prefix->File("new.png");
  std::string output;
  ASSERT_EQ(RunInstalled("varnel-cli new " + Quoted(vlb) + " 3 2", &output), 0) << output;
  // PNG goes through Pngport.spi, which only the installed program folder holds.
  ASSERT_EQ(RunInstalled("varnel-cli convert " + Quoted(vlb) + " " + Quoted(png), &output), 0) << output;
  EXPECT_EQ(ReadText(png).substr(0, 8), "\x89PNG\r\n\x1a\n");
  ASSERT_EQ(RunInstalled("varnel-cli info " + Quoted(png), &output), 0) << output;
  EXPECT_NE(output.find("\"canvas\":{\"width\":3,\"height\":2}"), std::string::npos) << output;
}

TEST_F(InstallTest, ThumbnailerEntryRunsTheInstalledTool) {
  const std::string entry = ReadText(prefix->Path() / "share/thumbnailers/varnel.thumbnailer");
  const std::string exec = "Exec=varnel-cli thumbnail %i %o %s\n";
  ASSERT_NE(entry.find(exec), std::string::npos) << entry;
  const std::string vlb = prefix->File("t.vlb");
  std::string output;
  ASSERT_EQ(RunInstalled("varnel-cli new " + Quoted(vlb) + " 300 200", &output), 0) << output;
  ASSERT_EQ(RunInstalled("varnel-cli thumbnail " + Quoted(vlb) + " " + Quoted(prefix->File("t.png")) + " 128", &output), 0)
      << output;
  // The 120-pixel stored preview of a 300 × 200 picture fits 128 as it is: 120 × 80 (IHDR).
  const std::string png = ReadText(prefix->File("t.png"));
  ASSERT_GE(png.size(), 24u);
  EXPECT_EQ(png.substr(16, 8), std::string("\0\0\0\x78\0\0\0\x50", 8));
}

TEST_F(InstallTest, DesktopEntryPassesDesktopFileValidate) {
  if (Shell("command -v desktop-file-validate") != 0) GTEST_SKIP() << "desktop-file-validate is not installed";
  std::string output;
  EXPECT_EQ(Shell("desktop-file-validate " + Quoted((prefix->Path() / "share/applications/varnel.desktop").string()), &output), 0)
      << output;
  EXPECT_EQ(output, "");
}

struct TypeCase {
  const char* file;
  const char* type;
};

// update-mime-database compiles the types; its glob and magic tables show what a file
// manager will conclude.
TEST_F(InstallTest, FileTypesAreKnownByExtensionAndTheLayerFileByItsMagic) {
  if (Shell("command -v update-mime-database") != 0) GTEST_SKIP() << "shared-mime-info is not installed";
  const fs::path mime = prefix->Path() / "share/mime";
  std::string output;
  ASSERT_EQ(Shell("update-mime-database " + Quoted(mime.string()), &output), 0) << output;
  const std::string globs = ReadText(mime / "globs2");
  const TypeCase cases[] = {
      {"50:application/x-varnel-layers:*.vlb", "layer file"},
      {"50:application/x-varnel-region:*.vrd", "region"},
      {"50:application/x-varnel-tool-state:*.vpo", "tool state"},
      {"50:application/x-varnel-brush-preset:*.bpp", "brush preset"},
      {"50:application/x-varnel-shape:*.ptv", "shape"},
      {"50:application/x-varnel-colours:*.cd", "colours"},
      {"40:application/x-varnel-curve:*.cc", "curve, below C++ sources"},
  };
  for (const TypeCase& c : cases) EXPECT_NE(globs.find(c.file), std::string::npos) << c.type << '\n' << globs;
  const std::string magic = ReadText(mime / "magic");
  // A rule is ">offset=" then the value's length as two bytes, high first, then the value.
  EXPECT_NE(magic.find("[60:application/x-varnel-layers]\n>0=\0\x0a" "LX\r\nL10000"s), std::string::npos);

  if (Shell("command -v gio") != 0) return;
  // What a file manager concludes, by GLib's own rules over the installed database.
  struct Detected {
    const char* name;
    std::string content;
    const char* type;
  };
  const Detected files[] = {
      {"picture.vlb", "LB", "application/x-varnel-layers"},
      {"no-extension", "LX\r\nL10000CHPRVW", "application/x-varnel-layers"},
      {"curve.cc", "RED\nPOLYLINE\n0\n", "application/x-varnel-curve"},
      {"source.cc", "#include <vector>\nint main() {}\n", "text/x-c++src"},
      {"palette.cd", "1 2 3\n", "application/x-varnel-colours"},
  };
  for (const Detected& f : files) {
    std::ofstream(prefix->File(f.name), std::ios::binary) << f.content;
    ASSERT_EQ(Shell("XDG_DATA_DIRS=" + Quoted((prefix->Path() / "share").string()) +
                        ":/usr/share gio info -a standard::content-type " + Quoted(prefix->File(f.name)),
                    &output),
              0)
        << output;
    EXPECT_NE(output.find(std::string("standard::content-type: ") + f.type + "\n"), std::string::npos) << f.name << '\n' << output;
  }
}

struct CompletionCase {
  const char* line;      // the words typed, the last one being completed
  const char* expected;  // the candidates, one a line
};

// bash completes from the installed tool's own --help.
TEST_F(InstallTest, BashCompletionOffersCommandsOptionsAndValues) {
  if (Shell("command -v bash") != 0) GTEST_SKIP() << "bash is not installed";
  const std::string script = (prefix->Path() / "share/bash-completion/completions/varnel-cli").string();
  const CompletionCase cases[] = {
      {"varnel-cli thumb", "thumbnail\n"},
      {"varnel-cli eff", "effect\neffects\n"},
      {"varnel-cli --ver", "--version\n"},
      {"varnel-cli flatten a.vlb b.png --", "--enable-masks\n--quiet\n"},
      {"varnel-cli filter a b lib f --p", "--preview\n"},
      {"varnel-cli select a b --component h", "hue\n"},
      {"varnel-cli fill a b 1,1 --mode b", "brush\n"},
      {"varnel-cli region fe", "feather\n"},
      {"varnel-cli turn a b l", "left\n"},
      {"varnel-cli stroke a b --layer ", ""},
  };
  for (const CompletionCase& c : cases) {
    std::string line = c.line;
    std::string output;
    const int status = RunInstalled("bash -c " + Quoted("source " + Quoted(script) + "; read -ra COMP_WORDS <<<" + Quoted(line) +
                                                         "; [[ " + Quoted(line) + " == *\\  ]] && COMP_WORDS+=(\"\"); "
                                                         "COMP_CWORD=$((${#COMP_WORDS[@]} - 1)); _varnel_cli; "
                                                         "[[ ${#COMPREPLY[@]} -gt 0 ]] && printf \"%s\\n\" \"${COMPREPLY[@]}\"; true"),
                                    &output);
    EXPECT_EQ(status, 0) << c.line;
    EXPECT_EQ(output, c.expected) << c.line;
  }
}

// Every entry below folder with its size and time, to show that nothing in it changed.
std::string Snapshot(const fs::path& folder) {
  std::ostringstream listing;
  std::error_code error;
  for (const auto& entry : fs::recursive_directory_iterator(folder, error)) {
    struct stat info {};
    if (lstat(entry.path().c_str(), &info) != 0) continue;
    listing << entry.path().lexically_relative(folder).string() << ' ' << info.st_size << ' ' << info.st_mtim.tv_sec << '.'
            << info.st_mtim.tv_nsec << '\n';
  }
  return listing.str();
}

// The installed program folder read-only for real, as for a user who did not install it: root
// runs the program as nobody (permission bits do not stop root), anyone else takes away the
// write permission. The work folder is open to that user.
class ReadOnlyInstall {
 public:
  ReadOnlyInstall(const fs::path& programFolder, const fs::path& prefix, const fs::path& work)
      : m_folder(programFolder), m_root(geteuid() == 0) {
    fs::permissions(prefix, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                fs::perms::others_read | fs::perms::others_exec);
    fs::permissions(work, fs::perms::all);
    if (!m_root) Shell("chmod -R a-w " + Quoted(m_folder.string()));
  }
  ~ReadOnlyInstall() {
    if (!m_root) Shell("chmod -R u+w " + Quoted(m_folder.string()));
  }
  // The command line run as the user the folder is read-only for.
  std::string AsUser(const std::string& command) const {
    return m_root ? "setpriv --reuid=65534 --regid=65534 --clear-groups " + command : command;
  }

 private:
  fs::path m_folder;
  bool m_root;
};

TEST_F(InstallTest, ARunFromAReadOnlyProgramFolderWritesIntoTheUsersDataFolder) {
  if (geteuid() == 0 && Shell("command -v setpriv") != 0) GTEST_SKIP() << "setpriv (util-linux) is not installed";
  const fs::path folder = prefix->Path() / VARNEL_INSTALL_PROGRAM_DIR;
  const test::TempFolder work;
  const std::string in = work / "in.vlb";
  const std::string script = work / "touch.js";
  std::string output;
  ASSERT_EQ(RunInstalled("varnel-cli new " + Quoted(in) + " 4 3", &output), 0) << output;
  std::ofstream(script) << "Document.Image.SetPixel(0, 0, 0xFF0000FF);\n";
  fs::create_directory(work / "data");
  fs::permissions(work.Path() / "data", fs::perms::all);  // the data home is the user's own
  const std::string before = Snapshot(folder);
  ASSERT_NE(before, "");

  const ReadOnlyInstall readOnly(folder, prefix->Path(), work.Path());
  const std::string env = "env -u VARNEL_HOME HOME=" + Quoted(work / "home") + " XDG_DATA_HOME=" + Quoted(work / "data") +
                          " VARNEL_CONFIG=" + Quoted(work / "varnel.ini") + " PATH=" +
                          Quoted((prefix->Path() / "bin").string()) + ":/usr/bin:/bin ";
  // The premise: this user cannot create a file in the program folder.
  ASSERT_NE(Shell(readOnly.AsUser(env + "touch " + Quoted((folder / "probe").string()))), 0);

  ASSERT_EQ(Shell(readOnly.AsUser(env + "varnel-cli script " + Quoted(in) + " " + Quoted(work / "out.vlb") + " " +
                                  Quoted(script)),
                  &output),
            0)
      << output;
  EXPECT_TRUE(fs::is_regular_file(work / "out.vlb"));
  const std::string log = ReadText(work.Path() / "data/varnel/script.log");
  EXPECT_EQ(log.rfind("script path = " + script + "\nwi = 4 he = 3 colorDepth = 32\n", 0), 0u) << log;
  EXPECT_FALSE(fs::exists(work / "home")) << "XDG_DATA_HOME is followed, not HOME";
  EXPECT_EQ(Snapshot(folder), before);
}

TEST_F(InstallTest, VersionIsOneLineWithTheProgramName) {
  std::string output;
  ASSERT_EQ(RunInstalled("varnel-cli --version", &output), 0);
  EXPECT_EQ(output.rfind("varnel-cli ", 0), 0u) << output;
  EXPECT_EQ(output.find('\n'), output.size() - 1) << output;
}

}  // namespace
}  // namespace varnel
