// The Windows Installer package, installed, upgraded, refused and removed by
// the system's msiexec, and the program as it starts at sign-in. Run by
// tools/check-package.sh, which builds the packages and names their folder
// in LUMIBREL_PACKAGES: the one the package target built (current.msi), the
// same one numbered higher (newer.msi) and lower (older.msi), and the higher
// one built again (rebuilt.msi: same version, another product code); the
// first two numbers in LUMIBREL_CURRENT_VERSION and LUMIBREL_NEWER_VERSION.

#include "tests/e2e/Fixture.h"

namespace e2e {
namespace {

const wchar_t kRunKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const wchar_t kUninstallKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

std::optional<std::wstring> machineValue(const wchar_t* key, const wchar_t* name)
{
    wchar_t value[1024] = L"";
    DWORD size = sizeof value;
    const LSTATUS found = RegGetValueW(HKEY_LOCAL_MACHINE, key, name, RRF_RT_REG_SZ, nullptr, value, &size);
    return found == ERROR_SUCCESS ? std::optional<std::wstring>(value) : std::nullopt;
}

// The installed-programs entries named Lumibrel: product code and version.
std::vector<std::pair<std::wstring, std::wstring>> entries()
{
    std::vector<std::pair<std::wstring, std::wstring>> found;
    HKEY uninstall = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kUninstallKey, 0, KEY_READ, &uninstall) != ERROR_SUCCESS)
        return found;
    wchar_t code[256];
    for (DWORD i = 0, size = 256;
         RegEnumKeyExW(uninstall, i, code, &size, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
         ++i, size = 256) {
        const std::wstring key = std::wstring(kUninstallKey) + L"\\" + code;
        if (machineValue(key.c_str(), L"DisplayName") == L"Lumibrel")
            found.emplace_back(code, machineValue(key.c_str(), L"DisplayVersion").value_or(L""));
    }
    RegCloseKey(uninstall);
    return found;
}

// msiexec's exit code.
DWORD msiexec(const std::wstring& arguments)
{
    const auto run = startProcess(L"", {}, {}, SW_HIDE, L"msiexec.exe " + arguments + L" /qn");
    return run->waitForExit(120s).value_or(~0u);
}

TEST_F(Lumibrel, InstallerPutsLumibrelInPlaceStartsItAtSignInUpgradesAndRemovesIt)
{
    const std::wstring packages = environmentValue(L"LUMIBREL_PACKAGES");
    ASSERT_FALSE(packages.empty()) << "run by tools/check-package.sh";
    for (const auto& [code, version] : entries()) // what an earlier run left
        msiexec(L"/x " + code);
    const std::wstring folder = join(environmentValue(L"ProgramFiles"), L"Lumibrel");
    // The per-machine Start menu on Windows; Wine's msiexec puts a per-machine shortcut in the user's.
    const std::wstring shortcut = L"\\Microsoft\\Windows\\Start Menu\\Programs\\Lumibrel.lnk";
    const std::wstring shortcuts[] = {environmentValue(L"ProgramData") + shortcut,
                                      environmentValue(L"APPDATA") + shortcut};
    struct Step {
        std::wstring arguments;
        DWORD exitCode;
        std::optional<std::wstring> installed; // the version the one entry shows afterwards; nullopt: none
        bool startsAtSignIn;
    };
    const std::wstring current = join(packages, L"current.msi");
    const std::wstring newer = join(packages, L"newer.msi");
    const std::wstring currentVersion = environmentValue(L"LUMIBREL_CURRENT_VERSION");
    const std::wstring newerVersion = environmentValue(L"LUMIBREL_NEWER_VERSION");
    const Step steps[] = {
        {L"/i " + current + L" ADDLOCAL=ALL", 0, currentVersion, true},
        {L"/i " + newer, 0, newerVersion, true},
        {L"/i " + join(packages, L"older.msi"), ERROR_INSTALL_FAILURE, newerVersion, true}, // a newer one is there
        {L"/x " + newer, 0, std::nullopt, false},
        {L"/i " + current + L" STARTATSIGNIN=0", 0, currentVersion, false},
        {L"/i " + newer, 0, newerVersion, false}, // the upgrade keeps the administrator's choice
        {L"/i " + join(packages, L"rebuilt.msi"), 0, newerVersion, false}, // replaces, not beside
        {L"/i " + newer + L" STARTATSIGNIN=1", 0, newerVersion, true},     // the command line wins
        {L"/x " + newer, 0, std::nullopt, false},
    };
    s->writeSettings(L"[Settings]\nShowBrailleVisualizer=1\n");
    for (const Step& step : steps) {
        SCOPED_TRACE(utf8(step.arguments));
        EXPECT_EQ(msiexec(step.arguments), step.exitCode);
        const auto now = entries();
        ASSERT_EQ(now.size(), step.installed ? 1u : 0u);
        if (step.installed) {
            EXPECT_EQ(now[0].second, *step.installed);
        }
        for (const wchar_t* file : {L"Lumibrel.exe", L"README.txt", L"LICENSE.txt", L"enu\\Cellvane.ini"})
            EXPECT_EQ(fs::exists(join(folder, file)), step.installed.has_value()) << utf8(file);
        EXPECT_EQ(fs::exists(shortcuts[0]) || fs::exists(shortcuts[1]), step.installed.has_value());
        const std::optional<std::wstring> run = machineValue(kRunKey, L"Lumibrel");
        EXPECT_EQ(run.has_value(), step.startsAtSignIn);
        if (&step != steps || !run)
            continue;
        // Started as at sign-in: no window, the component started, the stored settings on the display.
        p = &s->start({}, SW_SHOWDEFAULT, *run);
        ASSERT_TRUE(main = s->createdWindow(*p));
        ASSERT_TRUE(s->waitForApplies(*p, 1));
        EXPECT_EQ(lastSent(), sentFor("10100"));
        EXPECT_FALSE(IsWindowVisible(main)) << "a sign-in start showed its window";
        ASSERT_TRUE(s->otherProgramInFront());
        keys({VK_CONTROL, VK_MENU, 'T'});
        EXPECT_TRUE(focusIn(main));
        exitCleanly();
    }
    EXPECT_FALSE(fs::exists(folder)) << "removal left files behind";
    EXPECT_TRUE(fs::exists(s->settingsPath())) << "removal took the settings";
}

} // namespace
} // namespace e2e
