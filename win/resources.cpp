#include "win/resources.h"

std::optional<std::string_view> FindEmbeddedFile(std::string_view name) {
  for (const EmbeddedFile& file : EmbeddedFiles()) {
    if (file.name == name) return file.data;
  }
  return std::nullopt;
}
