#include "support/FakeSysfs.h"

namespace testsupport {

void LayOutHidrawNode(const std::filesystem::path& root, const std::string& node,
                      const std::string& device) {
    namespace fs = std::filesystem;
    const std::string name = fs::path(node).filename();
    const fs::path hidDevice = root / "devices" / device;
    fs::create_directories(hidDevice / "hidraw" / name);
    fs::create_directories(root / "class" / "hidraw");
    fs::create_symlink(hidDevice / "hidraw" / name, root / "class" / "hidraw" / name);
    fs::create_symlink(hidDevice, hidDevice / "hidraw" / name / "device");
}

} // namespace testsupport
