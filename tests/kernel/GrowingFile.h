#pragma once

#include <fstream>
#include <string>
#include <utility>
#include <vector>

/// A file another process is still writing, read as it grows: each call hands back only the
/// lines completed since the last, so waiting on a long file stays cheap. The file may not
/// exist yet; it is opened at the first call that finds it.
class GrowingFile {
public:
    /// `fromEnd`: what the file holds when it is first opened is skipped.
    explicit GrowingFile(std::string path, bool fromEnd = false)
        : path_(std::move(path)), fromEnd_(fromEnd) {}

    bool exists() { return open(); }

    /// The lines completed since the last call, without their line ends.
    std::vector<std::string> newLines() {
        std::vector<std::string> lines;
        if (!open()) return lines;
        file_.clear();
        std::string chunk(64 * 1024, '\0');
        while (file_.read(chunk.data(), static_cast<std::streamsize>(chunk.size())) ||
               file_.gcount() > 0)
            partial_.append(chunk.data(), static_cast<std::size_t>(file_.gcount()));
        file_.clear();
        std::size_t start = 0;
        for (std::size_t end; (end = partial_.find('\n', start)) != partial_.npos; start = end + 1)
            lines.push_back(partial_.substr(start, end - start));
        partial_.erase(0, start);
        return lines;
    }

private:
    bool open() {
        if (file_.is_open()) return true;
        file_.open(path_);
        if (file_.is_open() && fromEnd_) file_.seekg(0, std::ios::end);
        return file_.is_open();
    }

    std::string path_;
    bool fromEnd_;
    std::ifstream file_;
    std::string partial_;
};
