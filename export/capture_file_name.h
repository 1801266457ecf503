#pragma once
#include <filesystem>
#include <string>

// The candidate paths of one capture, all with the same time stamp:
// "<folder>/Wavelift YYYY-MM-DD HH-MM-SS.wav", then the same with " (n)" for
// n from 2. Creates nothing.
class CaptureFileNames {
public:
    explicit CaptureFileNames(std::filesystem::path folder);
    // The next candidate that does not exist yet (a dangling link exists).
    // Each call continues after the previous answer, so a name that another
    // writer took meanwhile is not offered again.
    std::filesystem::path NextFree();

private:
    std::filesystem::path Candidate(long long n) const;

    std::filesystem::path folder;
    std::string baseName;
    long long next = 1;  // 1 stands for the name without a counter
};

// The first free candidate of a capture made now.
std::filesystem::path MakeCaptureFilePath(const std::filesystem::path& saveFolder);
