// What every fuzz target shares: readers take paths, so each input is written to a file
// in a scratch folder of its own process (several targets run side by side).
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

namespace tv_fuzz {

// The scratch folder of this process, made on first use, with a trailing '/'.
const std::string& Dir();

// Writes the bytes to Dir() + name and returns the path.
std::string Write(const std::uint8_t* data, std::size_t size, const std::string& name);

// Removes Dir() + name if it exists (files a reader or writer may have made).
void Remove(const std::string& name);

}  // namespace tv_fuzz
