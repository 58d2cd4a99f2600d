#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <thread>
#include <gtest/gtest.h>
#include "update_server.h"

namespace fs = std::filesystem;

namespace {

const char kEmptySha1[] = "DA39A3EE5E6B4B0D3255BFEF95601890AFD80709";
const char kAbcSha1[] = "A9993E364706816ABA3E25717850C26C9CD0D89D";

struct TWireAnswer {
  std::string head;  // status line and headers, up to the blank line
  std::string body;  // every byte after it, as it came
  bool reset = false;
};

// One request on its own connection, read until the server closes it.
TWireAnswer Ask(int port, const std::string& request) {
  TWireAnswer answer;
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  EXPECT_EQ(0, connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)));
  EXPECT_EQ(ssize_t(request.size()), send(fd, request.data(), request.size(), MSG_NOSIGNAL));
  std::string bytes;
  char buffer[4096];
  for (;;) {
    const ssize_t count = recv(fd, buffer, sizeof(buffer), 0);
    if (count <= 0) {
      answer.reset = count < 0 && errno == ECONNRESET;
      break;
    }
    bytes.append(buffer, size_t(count));
  }
  close(fd);
  const size_t end = bytes.find("\r\n\r\n");
  answer.head = bytes.substr(0, end == std::string::npos ? bytes.size() : end + 4);
  answer.body = end == std::string::npos ? std::string() : bytes.substr(end + 4);
  return answer;
}

std::string Download(const std::string& name, const std::string& extra = "") {
  return "GET /tavo2-web/getFile/block1?name=" + name + "&terminalSN=12345" + extra +
         " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n";
}

std::string Report(const std::string& serial) {
  const std::string body = "{\"REPLIES\":[{\"MODEL_T\":\"M1\",\"SN\":\"" + serial + "\",\"SN_OLD\":\"" + serial + "\"}]}";
  return "POST /tavo2-web/block1 HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\nContent-Length: " +
         std::to_string(body.size()) + "\r\n\r\n" + body;
}

void WriteFile(const fs::path& path, const std::string& content) {
  std::ofstream(path, std::ios::binary) << content;
}

class UpdateServerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = fs::temp_directory_path() / ("update-server-test-" + std::to_string(getpid()));
    fs::create_directories(root_ / "release" / "sub");
    fs::create_directories(root_ / "ecr");
    WriteFile(root_ / "release" / "b.bin", "abc");
    WriteFile(root_ / "release" / "a.txt", "");
    WriteFile(root_ / "release" / "bad name", "x");
    WriteFile(root_ / "ecr" / "Updater.dll", "abc");
    options_.releaseFolder = (root_ / "release").string();
    options_.ecrFolder = (root_ / "ecr").string();
    options_.logFile = (root_ / "requests.log").string();
  }

  void TearDown() override {
    if (server_) {
      server_->Stop();
      serving_.join();
    }
    fs::remove_all(root_);
  }

  void Start(const std::vector<std::string>& faults = {}) {
    for (const std::string& text : faults) {
      TFault fault;
      ASSERT_TRUE(ParseFault(text, &fault)) << text;
      options_.faults.Add(fault);
    }
    ASSERT_TRUE(log_.Open(options_.logFile));
    server_ = std::make_unique<TUpdateServer>(options_, log_);
    port_ = server_->Bind();
    ASSERT_GT(port_, 0);
    serving_ = std::thread([this] { server_->Serve(); });
  }

  std::string Listing(const std::string& file, const std::string& hash, int size) {
    return "{\"FILE_HASH\":\"" + hash + "\",\"FILE_NAME\":\"" + file + "\",\"FILE_SIZE\":" + std::to_string(size) + "}";
  }

  fs::path root_;
  TServerOptions options_;
  TRequestLog log_;
  std::unique_ptr<TUpdateServer> server_;
  std::thread serving_;
  int port_ = 0;
};

TEST_F(UpdateServerTest, ListsTopLevelFilesOfBothFoldersHashedAgainOnceTheyChange) {
  Start();
  const std::string host = "\"HOST_URL\":\"127.0.0.1:" + std::to_string(port_) + "\",\"SN\":\"12345\"";
  EXPECT_EQ("{\"success\":true,\"body\":{\"COMMANDS\":["
            "{\"CMD\":\"CHECK_FILES\",\"DETAILS\":{\"CMD_ID\":\"UPDATE-1\",\"FILES\":[" +
                Listing("a.txt", kEmptySha1, 0) + "," + Listing("b.bin", kAbcSha1, 3) + "]," + host +
                ",\"TARGET\":\"UPDATE\"}},"
                "{\"CMD\":\"CHECK_FILES\",\"DETAILS\":{\"CMD_ID\":\"ECR-1\",\"FILES\":[" +
                Listing("Updater.dll", kAbcSha1, 3) + "]," + host + ",\"TARGET\":\"ECR\"}}]}}",
            Ask(port_, Report("12345")).body);

  WriteFile(root_ / "release" / "b.bin", "abcd");
  const std::string second = Ask(port_, Report("12\\\"3")).body;
  EXPECT_NE(std::string::npos, second.find(Listing("b.bin", "81FE8BFE87576C3ECB22426F8E57847382917ACF", 4)));
  EXPECT_NE(std::string::npos, second.find("\"SN\":\"12\\\"3\"")) << "the serial is echoed escapes and all";

  // Same size, same time: the digest is taken as known, the file not read.
  const fs::path changed = root_ / "release" / "b.bin";
  const fs::file_time_type written = fs::last_write_time(changed);
  WriteFile(changed, "wxyz");
  fs::last_write_time(changed, written);
  const std::string abcd = Listing("b.bin", "81FE8BFE87576C3ECB22426F8E57847382917ACF", 4);
  EXPECT_NE(std::string::npos, Ask(port_, Report("1")).body.find(abcd));
  fs::last_write_time(changed, written + std::chrono::seconds(1));
  const std::string wxyz = Listing("b.bin", "A0D8A72797B5185F097A4F0F8CC7B19D98B72A5E", 4);
  EXPECT_NE(std::string::npos, Ask(port_, Report("1")).body.find(wxyz));
}

TEST_F(UpdateServerTest, DownloadsComeFromTheFolderOfTheirTarget) {
  options_.chunked = true;
  WriteFile(root_ / "release" / "big.bin", std::string(10000, 'z'));
  Start();
  const TWireAnswer big = Ask(port_, Download("big.bin"));
  EXPECT_NE(std::string::npos, big.head.find("Transfer-Encoding: chunked"));
  EXPECT_EQ("1000\r\n" + std::string(4096, 'z') + "\r\n1000\r\n" + std::string(4096, 'z') + "\r\n710\r\n" +
                std::string(1808, 'z') + "\r\n0\r\n\r\n",
            big.body);
  EXPECT_EQ("3\r\nabc\r\n0\r\n\r\n", Ask(port_, Download("Updater.dll", "&ECR=1")).body);
}

TEST_F(UpdateServerTest, ARateHoldsBodiesBackWithoutChangingThem) {
  TServerOptions parsed;
  std::string error;
  std::vector<std::string> words = {"--rate", "0", "release"};
  std::vector<char*> args;
  for (std::string& word : words) args.push_back(word.data());
  EXPECT_FALSE(ParseServerOptions(int(args.size()), args.data(), &parsed, &error));
  words[1] = "40000";
  args.clear();
  for (std::string& word : words) args.push_back(word.data());
  ASSERT_TRUE(ParseServerOptions(int(args.size()), args.data(), &parsed, &error)) << error;
  EXPECT_EQ(parsed.rate, 40000u);

  std::string body;
  for (int i = 0; i < 20000; ++i) body += static_cast<char>('a' + i % 26);
  WriteFile(root_ / "release" / "paced.bin", body);
  options_.rate = parsed.rate;
  Start();
  // Its last piece is due 0.46 s after the first.
  const auto start = std::chrono::steady_clock::now();
  const TWireAnswer paced = Ask(port_, Download("paced.bin"));
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(400));
  EXPECT_NE(std::string::npos, paced.head.find("Content-Length: 20000"));
  EXPECT_EQ(body, paced.body);
  EXPECT_EQ("abc", Ask(port_, Download("b.bin")).body);
}

TEST_F(UpdateServerTest, NamesOutsideTheFolderAreNotFound) {
  Start();
  EXPECT_EQ("abc", Ask(port_, Download("b.bin")).body);
  for (const char* name : {"..", "/etc/passwd", "../release/b.bin", "sub", "missing", "Updater.dll"}) {
    EXPECT_EQ(0u, Ask(port_, Download(name)).head.find("HTTP/1.1 404")) << name;
  }
  EXPECT_EQ(0u, Ask(port_, Download("b.bin", "&ECR=1")).head.find("HTTP/1.1 404"));
}

TEST_F(UpdateServerTest, ListingAndSizeFaultsTouchOnlyTheirFile) {
  Start({"wrong-hash:b.bin", "wrong-size:b.bin", "not-found:a.txt"});
  const std::string listing = Ask(port_, Report("1")).body;
  EXPECT_EQ(std::string::npos, listing.find(kAbcSha1 + std::string("\",\"FILE_NAME\":\"b.bin")));
  EXPECT_NE(std::string::npos, listing.find(Listing("Updater.dll", kAbcSha1, 3)));
  EXPECT_NE(std::string::npos, listing.find(Listing("a.txt", kEmptySha1, 0)));
  const TWireAnswer download = Ask(port_, Download("b.bin"));
  EXPECT_NE(std::string::npos, download.head.find("Content-Length: 4"));
  EXPECT_EQ("abcX", download.body);
  EXPECT_EQ(0u, Ask(port_, Download("a.txt")).head.find("HTTP/1.1 404"));
}

TEST_F(UpdateServerTest, CutAndStalledBodiesEndHalfWayWithoutAReset) {
  WriteFile(root_ / "release" / "big.bin", std::string(10000, 'z'));
  options_.stallSeconds = 1;
  Start({"cut:big.bin", "stall:b.bin"});
  const TWireAnswer cut = Ask(port_, Download("big.bin"));
  EXPECT_NE(std::string::npos, cut.head.find("Content-Length: 10000"));
  EXPECT_EQ(std::string(5000, 'z'), cut.body);
  EXPECT_FALSE(cut.reset);
  const TWireAnswer stalled = Ask(port_, Download("b.bin"));
  EXPECT_NE(std::string::npos, stalled.head.find("Content-Length: 3"));
  EXPECT_EQ("a", stalled.body);
  EXPECT_FALSE(stalled.reset);
}

TEST_F(UpdateServerTest, ChunkedCutNeverSendsTheClosingChunk) {
  options_.chunked = true;
  Start({"cut"});
  EXPECT_EQ("1\r\na\r\n", Ask(port_, Download("b.bin")).body);
}

TEST_F(UpdateServerTest, ResetsAnswerNothing) {
  Start({"reset:b.bin", "exchange-reset"});
  for (const std::string& request : {Download("b.bin"), Report("1")}) {
    const TWireAnswer answer = Ask(port_, request);
    EXPECT_TRUE(answer.reset);
    EXPECT_EQ("", answer.head);
  }
  EXPECT_EQ("", Ask(port_, Download("a.txt")).body);
  EXPECT_EQ("abc", Ask(port_, Download("Updater.dll", "&ECR=1")).body);
}

// The request log's lines once one holds `word`, or all of it after five
// seconds: each line is written when its answer is over.
std::string LogOnceItHolds(const fs::path& log, const std::string& word) {
  std::string text;
  for (int turn = 0; turn < 100 && text.find(word) == std::string::npos; ++turn) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    std::ifstream in(log);
    text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  return text;
}

TEST_F(UpdateServerTest, EndlessHeadsLastUntilTheClientLeavesOrTheStallTime) {
  options_.stallSeconds = 1;
  Start({"header-flood:b.bin", "header-drip:a.txt"});
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port_));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(0, connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)));
  const std::string request = Download("b.bin");
  ASSERT_EQ(ssize_t(request.size()), send(fd, request.data(), request.size(), MSG_NOSIGNAL));
  std::string flood;
  char buffer[4096];
  for (ssize_t count = 1; count > 0 && flood.size() < 100000;) {
    count = recv(fd, buffer, sizeof buffer, 0);
    if (count > 0) flood.append(buffer, size_t(count));
  }
  close(fd);
  EXPECT_EQ(0u, flood.find("HTTP/1.1 200 OK\r\nX-Flood-1: ffff"));
  EXPECT_EQ(std::string::npos, flood.find("\r\n\r\n"));
  EXPECT_NE(std::string::npos, LogOnceItHolds(options_.logFile, "hung-up").find("b.bin&terminalSN=12345 200 0 header-flood"));

  const TWireAnswer drip = Ask(port_, Download("a.txt"));
  EXPECT_EQ(0u, drip.head.find("HTTP/1.1 200 OK\r\nX-Drip-1: 1\r\nX-Drip-2: 1\r\n"));
  EXPECT_EQ(std::string::npos, drip.head.find("\r\n\r\n"));
  EXPECT_NE(std::string::npos, LogOnceItHolds(options_.logFile, "outlasted").find("lines outlasted"));
}

TEST_F(UpdateServerTest, ExchangeFaultsSpoilOnlyTheAnswer) {
  Start({"exchange-fail", "exchange-bad-json"});
  const std::string answer = Ask(port_, Report("1")).body;
  EXPECT_EQ(0u, answer.find("\"success\":false,\"body\":{\"COMMANDS\":[{"));
  EXPECT_EQ("abc", Ask(port_, Download("b.bin")).body);
}

}  // namespace
