#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>
#include "agent_process.h"

namespace fs = std::filesystem;

TAgentFolder::TAgentFolder(const std::string& prefix) {
  std::random_device random;
  for (int attempt = 0; attempt < 100 && path_.empty(); ++attempt) {
    const fs::path candidate = fs::temp_directory_path() / (prefix + "-" + std::to_string(random()));
    if (fs::create_directory(candidate)) path_ = fs::canonical(candidate).string();
  }
  if (path_.empty()) throw std::runtime_error("no temporary folder for the agent");
  const fs::path program = fs::path(TestProgramDirectory()) / AgentProgramName();
  fs::copy_file(program, ProgramPath());
}

TAgentFolder::~TAgentFolder() {
  std::error_code ignored;
  fs::remove_all(path_, ignored);
}

std::string TAgentFolder::ProgramPath() const {
  return (fs::path(path_) / AgentProgramName()).string();
}

void TAgentFolder::WriteFile(const std::string& name, const std::string& content) const {
  std::ofstream(fs::path(path_) / name, std::ios::binary) << content;
}

bool TAgentFolder::Exists(const std::string& name) const {
  return fs::exists(fs::path(path_) / name);
}

std::string TAgentFolder::ReadFile(const std::string& name) const {
  std::ifstream in(fs::path(path_) / name, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}
