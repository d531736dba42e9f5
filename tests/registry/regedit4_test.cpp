#include <cstdlib>
#include <filesystem>

#include "base/file_io.h"
#include "registry/reg_api.h"
#include "registry_fixture.h"

namespace {
std::string Path(const TempDir& d, const char* name) { return (d / name).string(); }

// Type and exact bytes of a value, straight from the registry.
std::pair<std::uint32_t, std::string> Raw(const char* keyPath, const char* name) {
    reg::Key key = 0;
    std::uint32_t type = 0;
    std::string data;
    if (reg::OpenKey(reg::kCurrentUser, keyPath, reg::kRead, &key) == reg::kSuccess) {
        reg::QueryValue(key, name, &type, &data);
        reg::CloseKey(key);
        // A string may come back with its terminating zero, as Windows' registry stores it.
        if (type == reg::kSz && !data.empty() && data.back() == '\0') data.pop_back();
    }
    return {type, data};
}
}  // namespace

TEST_F(RegistryTest, ExportWritesTheExactRegedit4Lines) {
    reg.WriteString("HKCU\\Software\\Marlu", "Name", "Marlu Viewer");
    reg.WriteDWORD("HKCU\\Software\\Marlu", "Count", 26);
    reg.WriteBinary("HKCU\\Software\\Marlu", "Bytes", "01 FF");
    ASSERT_EQ(reg.ExportToReg("HKCU\\Software\\Marlu", Path(dir, "out.reg"), false), 1);
    EXPECT_EQ(dir.read("out.reg"),
              "REGEDIT4\r\n\r\n"
              "[HKEY_CURRENT_USER\\Software\\Marlu]\r\n"
              "\"Name\"=\"Marlu Viewer\"\r\n"
              "\"Bytes\"=hex:01,FF\r\n"
              "\"Count\"=dword:0000001A\r\n"
              "\r\n");
}

TEST_F(RegistryTest, AnExportThatFailsAtAnyStepLeavesNoFileBehind) {
    reg.WriteString("HKCU\\K", "a", "b");
    using base::WriteStep;
    for (WriteStep step : {WriteStep::Open, WriteStep::Write, WriteStep::Flush, WriteStep::Sync, WriteStep::Rename}) {
        base::InjectWriteFailure(step);
        EXPECT_EQ(reg.ExportToReg("HKCU\\K", Path(dir, "out.reg"), true), 0);
        base::InjectWriteFailure(std::nullopt);
        for (const auto& e : std::filesystem::directory_iterator(dir.path()))
            EXPECT_TRUE(e.is_directory()) << e.path().filename().string() << " left by step " << static_cast<int>(step);
    }
    EXPECT_EQ(reg.ExportToReg("HKCU\\K", Path(dir, "out.reg"), true), 1);
}

TEST_F(RegistryTest, ExportNeverOverwritesAFile) {
    reg.WriteString("HKCU\\K", "a", "b");
    dir.write("out.reg", "precious");
    EXPECT_EQ(reg.ExportToReg("HKCU\\K", Path(dir, "out.reg"), true), 0);
    EXPECT_EQ(dir.read("out.reg"), "precious");
}

TEST_F(RegistryTest, ExportThenImportGivesTheSameKeysTypesAndBytes) {
    const std::string tricky = "a=b \"quoted\" C:\\path\\ \xC9t\xE9 \x80";
    reg.WriteString("HKCU\\Src", "@", "the default");
    reg.WriteString("HKCU\\Src", "tricky", tricky);
    reg.WriteString("HKCU\\Src", "name \"with\" = and \\", "v");
    reg.WriteString("HKCU\\Src", "lines", "line1\r\nline2\n\"end\"\r");  // a line break would end the line
    reg.WriteDWORD("HKCU\\Src", "negative", -5);
    reg.WriteBinary("HKCU\\Src\\Child", "bytes", "00 01 7F 80 FF");
    reg.WriteBinary("HKCU\\Src\\Child", "empty", "");
    reg.WriteString("HKCU\\Src\\Child", "@", "default\r\nover two lines");
    reg.CreateKey("HKCU\\Src\\Child\\Empty key");
    std::vector<std::string> seen;
    ASSERT_EQ(
        reg.ExportToReg("HKCU\\Src", Path(dir, "src.reg"), true, [&](const std::string& k) { seen.push_back(k); }), 1);
    EXPECT_EQ(seen, (std::vector<std::string>{"HKEY_CURRENT_USER\\Src", "HKEY_CURRENT_USER\\Src\\Child",
                                              "HKEY_CURRENT_USER\\Src\\Child\\Empty key"}));
    // Move everything to a new branch: rename the key in the file, then import.
    std::string text = dir.read("src.reg");
    for (std::size_t at; (at = text.find("HKEY_CURRENT_USER\\Src")) != std::string::npos;)
        text.replace(at, 21, "HKEY_CURRENT_USER\\Dst");
    dir.write("dst.reg", text);
    ASSERT_EQ(reg.ImportFromReg(Path(dir, "dst.reg")), 1);

    for (const char* name : {"", "tricky", "name \"with\" = and \\", "negative", "lines"})
        EXPECT_EQ(Raw("Dst", name), Raw("Src", name)) << name;
    EXPECT_EQ(Raw("Dst", "tricky").second, tricky);
    EXPECT_EQ(Raw("Dst", "lines"), (std::pair<std::uint32_t, std::string>{reg::kSz, "line1\r\nline2\n\"end\"\r"}));
    EXPECT_EQ(Raw("Dst\\Child", ""), Raw("Src\\Child", ""));
    EXPECT_EQ(Raw("Dst\\Child", "").second, "default\r\nover two lines");
    EXPECT_EQ(Raw("Dst", "negative").first, reg::kDword);
    EXPECT_EQ(Raw("Dst\\Child", "bytes"), Raw("Src\\Child", "bytes"));
    EXPECT_EQ(Raw("Dst\\Child", "bytes").first, reg::kBinary);
    EXPECT_EQ(Raw("Dst\\Child", "empty"), (std::pair<std::uint32_t, std::string>{reg::kBinary, ""}));
    EXPECT_TRUE(reg.KeyExists("HKCU\\Dst\\Child\\Empty key"));
}

TEST_F(RegistryTest, ImportAcceptsOnlyTheRegedit4Header) {
    dir.write("lower.reg", "regedit4\r\n\r\n[HKEY_CURRENT_USER\\L]\r\n\"a\"=\"b\"\r\n");
    EXPECT_EQ(reg.ImportFromReg(Path(dir, "lower.reg")), 1);
    EXPECT_EQ(reg.ReadString("HKCU\\L", "a", ""), "b");
    dir.write("other.reg", "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\O]\r\n\"a\"=\"b\"\r\n");
    EXPECT_EQ(reg.ImportFromReg(Path(dir, "other.reg")), 0);
    EXPECT_FALSE(reg.KeyExists("HKCU\\O"));
    EXPECT_EQ(reg.ImportFromReg(Path(dir, "missing.reg")), 0);
}

TEST_F(RegistryTest, ImportDeletesKeysAndValues) {
    reg.WriteString("HKCU\\Gone", "a", "b");
    reg.WriteString("HKCU\\Stay", "drop", "x");
    reg.WriteString("HKCU\\Stay", "keep", "y");
    dir.write("del.reg",
              "REGEDIT4\r\n\r\n[-HKEY_CURRENT_USER\\Gone]\r\n\r\n[HKEY_CURRENT_USER\\Stay]\r\n\"drop\"=-\r\n");
    ASSERT_EQ(reg.ImportFromReg(Path(dir, "del.reg")), 1);
    EXPECT_FALSE(reg.KeyExists("HKCU\\Gone"));
    EXPECT_FALSE(reg.ValueExists("HKCU\\Stay", "drop"));
    EXPECT_TRUE(reg.ValueExists("HKCU\\Stay", "keep"));
}

TEST_F(RegistryTest, ImportReadsTheRegistryEditorsOwnFormat) {
    // As the registry editor writes REGEDIT4: escaped backslashes and quotes, lower-case hex,
    // long binary data continued on the next lines, comments, and value types it has no
    // keyword for written as hex(n).
    dir.write("editor.reg",
              "REGEDIT4\r\n"
              "\r\n"
              "; exported by the registry editor\r\n"
              "[HKEY_CURRENT_USER\\Software\\Editor]\r\n"
              "@=\"default value\"\r\n"
              "\"Path\"=\"C:\\\\Program Files\\\\Marlu\"\r\n"
              "\"Quote\"=\"say \\\"hi\\\"\"\r\n"
              "\"Equation\"=\"a=b=c\"\r\n"
              "\"Flags\"=dword:0000ffff\r\n"
              "\"Blob\"=hex:00,11,22,33,44,55,66,77,88,99,aa,bb,cc,dd,ee,ff,00,11,22,33,44,\\\r\n"
              "  55,66,77\r\n"
              "\"Expand\"=hex(2):25,00\r\n"
              "\r\n"
              "[HKEY_CURRENT_USER\\Software\\Editor\\Sub Key]\r\n"
              "\"Empty\"=\"\"\r\n");
    ASSERT_EQ(reg.ImportFromReg(Path(dir, "editor.reg")), 1);
    const char* key = "HKCU\\Software\\Editor";
    EXPECT_EQ(reg.ReadString(key, "", ""), "default value");
    EXPECT_EQ(reg.ReadString(key, "Path", ""), "C:\\Program Files\\Marlu");
    EXPECT_EQ(reg.ReadString(key, "Quote", ""), "say \"hi\"");
    EXPECT_EQ(reg.ReadString(key, "Equation", ""), "a=b=c");
    EXPECT_EQ(reg.ReadDWORD(key, "Flags", 0), 0xFFFF);
    EXPECT_EQ(reg.ReadBinary(key, "Blob", ""),
              "00 11 22 33 44 55 66 77 88 99 AA BB CC DD EE FF 00 11 22 33 44 55 66 77");
    EXPECT_EQ(reg.ReadString(key, "Expand", ""), "hex(2):25,00");  // no keyword for it: kept as text
    EXPECT_TRUE(reg.ValueExists("HKCU\\Software\\Editor\\Sub Key", "Empty"));
}

// Files written by hand or by older tools leave single backslashes unescaped; both forms read
// as meant, and an export of either writes the registry editor's escaping.
TEST_F(RegistryTest, ALoneBackslashStandsForItself) {
    dir.write("hand.reg",
              "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\J]\r\n"
              "\"p\"=\"C:\\Program Files\\App\"\r\n"
              "\"q\"=\"C:\\\\Program Files\\\\App\"\r\n"
              "\"mixed\\name\"=\"\\\\server\\share \\\"x\\\"\"\r\n");
    ASSERT_EQ(reg.ImportFromReg(Path(dir, "hand.reg")), 1);
    EXPECT_EQ(reg.ReadString("HKCU\\J", "p", ""), "C:\\Program Files\\App");
    EXPECT_EQ(reg.ReadString("HKCU\\J", "q", ""), "C:\\Program Files\\App");
    EXPECT_EQ(reg.ReadString("HKCU\\J", "mixed\\name", ""), "\\server\\share \"x\"");
    ASSERT_EQ(reg.ExportToReg("HKCU\\J", Path(dir, "out.reg"), false, {}), 1);
    EXPECT_NE(dir.read("out.reg").find("\"p\"=\"C:\\\\Program Files\\\\App\""), std::string::npos);
}

TEST_F(RegistryTest, UnquotedLinesSplitAtTheFirstEqualsSign) {
    dir.write("plain.reg", "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Plain]\r\nname=text=with=signs\r\n");
    ASSERT_EQ(reg.ImportFromReg(Path(dir, "plain.reg")), 1);
    EXPECT_EQ(reg.ReadString("HKCU\\Plain", "name", ""), "text=with=signs");
}

TEST_F(RegistryTest, ImportSkipsLinesThatAreNoValues) {
    std::string junk = "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\J]\r\n";
    junk += "\"no closing quote=\r\n";
    junk += std::string("\x00\x01\x02\xff\r\n", 6);
    junk += "[unterminated\r\n";
    junk += "[]\r\n";
    junk += "[HKEY_CURRENT_USER\\J]\r\n\"good\"=\"kept\"\r\n";
    dir.write("junk.reg", junk);
    EXPECT_EQ(reg.ImportFromReg(Path(dir, "junk.reg")), 1);
    EXPECT_EQ(reg.ReadString("HKCU\\J", "good", ""), "kept");
}

// A value line that cannot be read is an error: the import says 0, and what it wrote before
// that line stays written (nothing after it is written).
TEST_F(RegistryTest, AnUnreadableValueEndsTheImportWithAnError) {
    for (const char* bad : {"\"v\"=hex:zz,01", "\"v\"=dword:nothex", "\"v\"=dword:1A", "\"v\"=dword:123456789",
                            "\"v\"=hex(1):41,zz", "\"v\"=hex:01,02,\\"}) {
        SCOPED_TRACE(bad);
        reg.KillKey("HKCU\\J");
        std::string file = "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\J]\r\n\"before\"=\"kept\"\r\n";
        file += std::string(bad) + "\r\n\"after\"=\"not read\"\r\n";
        dir.write("bad.reg", file);
        EXPECT_EQ(reg.ImportFromReg(Path(dir, "bad.reg")), 0);
        EXPECT_EQ(reg.ReadString("HKCU\\J", "before", ""), "kept");
        EXPECT_FALSE(reg.ValueExists("HKCU\\J", "v"));
        EXPECT_FALSE(reg.ValueExists("HKCU\\J", "after"));
    }
}

#ifdef _WIN32
// Our export, imported by the system's own registry editor, reads back with the same types and
// bytes through the registry calls.
TEST_F(RegistryTest, TheSystemsRegistryEditorImportsOurExport) {
    const std::string tricky = "a=b \"quoted\" C:\\path\\ \xC9t\xE9";
    reg.WriteString("HKCU\\Src", "tricky", tricky);
    reg.WriteString("HKCU\\Src", "@", "default text");
    reg.WriteString("HKCU\\Src", "lines", "line1\r\nline2");
    reg.WriteDWORD("HKCU\\Src", "count", 26);
    reg.WriteDWORD("HKCU\\Src", "negative", -5);
    reg.WriteBinary("HKCU\\Src\\Child", "bytes", "00 01 7F 80 FF");
    ASSERT_EQ(reg.ExportToReg("HKCU\\Src", Path(dir, "src.reg"), true), 1);
    std::string text = dir.read("src.reg");
    for (std::size_t at; (at = text.find("HKEY_CURRENT_USER\\Src")) != std::string::npos;)
        text.replace(at, 21, "HKEY_CURRENT_USER\\Dst");
    dir.write("dst.reg", text);
    const std::string command = "regedit /S \"" + Path(dir, "dst.reg") + "\"";
    ASSERT_EQ(std::system(command.c_str()), 0);
    for (const char* name : {"", "tricky", "count", "negative", "lines"})
        EXPECT_EQ(Raw("Dst", name), Raw("Src", name)) << name;
    EXPECT_EQ(Raw("Dst", "tricky").second, tricky);
    EXPECT_EQ(Raw("Dst", "count").first, reg::kDword);
    EXPECT_EQ(Raw("Dst\\Child", "bytes"), Raw("Src\\Child", "bytes"));
    EXPECT_EQ(Raw("Dst\\Child", "bytes").first, reg::kBinary);
}
#endif

TEST_F(RegistryTest, AFileOfBinaryJunkImportsNothingHarmful) {
    std::string junk;
    unsigned state = 12345;
    for (int i = 0; i < (1 << 20); ++i) {
        state = state * 1103515245u + 12345u;
        junk.push_back(static_cast<char>(state >> 16));
    }
    dir.write("junk.reg", junk);
    EXPECT_EQ(reg.ImportFromReg(Path(dir, "junk.reg")), 0);  // no header: refused whole
    dir.write("junk.reg", "REGEDIT4\r\n" + junk);
    reg.ImportFromReg(Path(dir, "junk.reg"));  // read as far as it goes, without harm
    reg.WriteString("HKCU\\K", "after", "still works");
    EXPECT_EQ(reg.ReadString("HKCU\\K", "after", ""), "still works");
}

// A key with many values and subkeys: walking it used to count from the first entry for every
// next one, so this export took minutes; now one step per entry.
TEST_F(RegistryTest, ExportOfALargeKeyWalksEachEntryOnce) {
    constexpr int kValues = 16000, kKeys = 1000;
    std::string file = "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Big]\r\n";
    for (int i = 0; i < kValues; ++i) file += "\"v" + std::to_string(i) + "\"=\"" + std::to_string(i) + "\"\r\n";
    for (int i = 0; i < kKeys; ++i) file += "\r\n[HKEY_CURRENT_USER\\Big\\k" + std::to_string(i) + "]\r\n";
    dir.write("big.reg", file);
    ASSERT_EQ(reg.ImportFromReg(Path(dir, "big.reg")), 1);

    ASSERT_EQ(reg.ExportToReg("HKCU\\Big", Path(dir, "out.reg"), true, {}), 1);
    const std::string out = dir.read("out.reg");
    std::size_t values = 0, keys = 0;
    for (std::size_t at = 0; (at = out.find("\"v", at)) != std::string::npos; ++at) ++values;
    for (std::size_t at = 0; (at = out.find("[HKEY_CURRENT_USER\\Big\\k", at)) != std::string::npos; ++at) ++keys;
    EXPECT_EQ(values, static_cast<std::size_t>(kValues));
    EXPECT_EQ(keys, static_cast<std::size_t>(kKeys));
    EXPECT_NE(out.find("\"v15999\"=\"15999\""), std::string::npos);
}
