#pragma once
// Whole files and folder listings, for tests that check what was written.
#include <filesystem>
#include <set>
#include <string>

std::string ReadAll(const std::filesystem::path& path);
void WriteAll(const std::filesystem::path& path, const std::string& bytes);
// The names in a folder, hidden ones too.
std::set<std::string> Entries(const std::filesystem::path& folder);
