// Runs a fuzzing target, without the fuzzing engine, on every input it is
// given (files, or folders of them): the kept corpus as a test of the
// ordinary build. A finding aborts, as it does when fuzzing.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size);
extern "C" __attribute__((weak)) int LLVMFuzzerInitialize(int* argc, char*** argv);

int main(int argc, char** argv) {
  std::vector<std::filesystem::path> inputs;
  for (int a = 1; a < argc; ++a) {
    if (std::filesystem::is_directory(argv[a])) {
      for (const auto& entry : std::filesystem::directory_iterator(argv[a]))
        if (entry.is_regular_file()) inputs.push_back(std::filesystem::absolute(entry.path()));
    } else {
      inputs.push_back(std::filesystem::absolute(argv[a]));
    }
  }
  std::sort(inputs.begin(), inputs.end());
  // Read before the target starts: it may change the working folder.
  std::vector<std::string> contents;
  for (const auto& path : inputs) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
      std::fprintf(stderr, "cannot read %s\n", path.c_str());
      return 2;
    }
    contents.emplace_back(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
  }
  if (LLVMFuzzerInitialize != nullptr) LLVMFuzzerInitialize(&argc, &argv);
  for (std::size_t k = 0; k < inputs.size(); ++k) {
    std::fprintf(stderr, "%s\n", inputs[k].filename().c_str());
    LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(contents[k].data()), contents[k].size());
  }
  std::printf("%zu inputs replayed\n", inputs.size());
  return inputs.empty() ? 1 : 0;
}
