#include "datafolder.h"

#include <cstdlib>
#include <filesystem>
#include <pwd.h>
#include <unistd.h>

namespace vantrel {
namespace {

std::string EnvOrEmpty(const char* name) {
    const char* value = std::getenv(name);
    return value ? std::string(value) : std::string();
}

std::string HomeFolder() {
    std::string home = EnvOrEmpty("HOME");
    if (!home.empty())
        return home;
    if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_dir)
        return pw->pw_dir;
    return "/tmp";
}

std::string DataFolderPath() {
    if (std::string dir = EnvOrEmpty("VANTREL_DATA_DIR"); !dir.empty())
        return dir;
    if (std::string state = EnvOrEmpty("XDG_STATE_HOME"); !state.empty())
        return state + "/vantrel";
    return HomeFolder() + "/.local/state/vantrel";
}

void CreateFolder(const std::string& path) {
    std::error_code ec;
    std::filesystem::create_directories(path, ec);
}

} // namespace

std::string DataFolder() {
    std::string path = DataFolderPath();
    CreateFolder(path);
    return path;
}

std::string PortsFolder() {
    std::string path = DataFolder() + "/ports";
    CreateFolder(path);
    return path;
}

std::string PortLinkPath(int n) {
    return DataFolderPath() + "/ports/COM" + std::to_string(n);
}

std::string PortDevicePath(int n) {
    std::string link = PortLinkPath(n);
    std::error_code ec;
    // symlink_status: a link whose target is gone still names the port, so the
    // open fails visibly instead of silently falling back to a hardware port.
    if (std::filesystem::exists(std::filesystem::symlink_status(link, ec)))
        return link;
    return "/dev/ttyS" + std::to_string(n - 1);
}

} // namespace vantrel
