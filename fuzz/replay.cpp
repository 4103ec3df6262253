// Replays inputs through the fuzz entry point, so that every seed and every
// past finding is checked on each test run without the fuzzing runtime.
// Usage: boardreplay FILE-OR-FOLDER...

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size);

namespace {

std::vector<std::filesystem::path> inputsof(const std::filesystem::path& arg) {
  if (!std::filesystem::is_directory(arg)) return {arg};
  std::vector<std::filesystem::path> files;
  for (const auto& entry : std::filesystem::directory_iterator(arg)) {
    if (entry.is_regular_file()) files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  return files;
}

}  // namespace

int main(int argc, char** argv) {
  int replayed = 0;
  for (int i = 1; i < argc; ++i) {
    for (const auto& path : inputsof(argv[i])) {
      std::ifstream in(path, std::ios::binary);
      const std::vector<std::uint8_t> input(std::istreambuf_iterator<char>(in),
                                            {});
      LLVMFuzzerTestOneInput(input.data(), input.size());
      ++replayed;
    }
  }
  std::printf("replayed %d inputs\n", replayed);
  return replayed > 0 ? 0 : 1;
}
