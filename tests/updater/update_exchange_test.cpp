#include <gtest/gtest.h>

#include <cctype>
#include <memory>
#include <string>

#include "app_folder.h"
#include "check_files_command.h"
#include "file_list.h"
#include "files/file_system.h"
#include "http/http_peer.h"
#include "sha1.h"
#include "system/system.h"
#include "update_session.h"

namespace {

std::string Sha1Hex(const std::string& content) { return TSha1::Digest(TByteBuffer(content)).ToHex(); }

std::string Answer(const std::string& commands) {
  return "{\"success\":true,\"body\":{\"COMMANDS\":" + commands + "}}";
}

std::string CheckFiles(const std::string& files, const std::string& extra = "") {
  return "{\"CMD\":\"CHECK_FILES\",\"DETAILS\":{" + extra + "\"FILES\":[" + files + "]}}";
}

std::string FileEntry(const std::string& name, const std::string& size, const std::string& hash) {
  return "{\"FILE_HASH\":\"" + hash + "\",\"FILE_NAME\":\"" + name + "\",\"FILE_SIZE\":" + size + "}";
}

class UpdateExchange : public ::testing::Test {
 protected:
  TAppFolder folder_;
};

TEST_F(UpdateExchange, TheReportOfAnEmptyInstallationIsExact) {
  TUpdateSession session("12345", "M1");
  EXPECT_EQ(session.BuildRequest(),
            "{\"REPLIES\":[{\"CONF_HASH\":\"0000000000000000000000000000000000000000\",\"ECR_HASH\":"
            "\"0000000000000000000000000000000000000000\",\"KCV_KLK\":\"000000\",\"MODEL_A\":\"WIN32\","
            "\"MODEL_T\":\"M1\",\"SN\":\"12345\",\"SN_OLD\":\"12345\",\"VERSION_A\":\"30.24.02\"}]}");

  // Arguments holding structure characters of JSON still give every member.
  TUpdateSession odd("1{\"2\\3}", "M}1");
  EXPECT_EQ(odd.BuildRequest(),
            "{\"REPLIES\":[{\"CONF_HASH\":\"0000000000000000000000000000000000000000\",\"ECR_HASH\":"
            "\"0000000000000000000000000000000000000000\",\"KCV_KLK\":\"000000\",\"MODEL_A\":\"WIN32\","
            "\"MODEL_T\":\"M}1\",\"SN\":\"1{\\\"2\\\\3}\",\"SN_OLD\":\"1{\\\"2\\\\3}\",\"VERSION_A\":\"30.24.02\"}]}");

  folder_.Write("Update/filelist.txt", "cfg.bin\r\n");
  folder_.Write("Update/cfg.bin", "abc");
  const std::string request = session.BuildRequest();
  EXPECT_NE(request.find("\"CONF_HASH\":\"A9993E364706816ABA3E25717850C26C9CD0D89D\""), std::string::npos) << request;
}

TEST_F(UpdateExchange, AnswersThatAreNotUsableStopBeforeAnyCommand) {
  TUpdateSession session("1", "M");
  EXPECT_EQ(session.HandleReply(" " + Answer("[" + CheckFiles("") + "]")), RESULT_ANSWER_NOT_OBJECT);
  EXPECT_EQ(session.HandleReply("[1]"), RESULT_ANSWER_NOT_OBJECT);
  EXPECT_EQ(session.HandleReply("{\"success\":\"true\",\"body\":{}}"), RESULT_ANSWER_NOT_SUCCESS);
  EXPECT_EQ(session.HandleReply("{\"success\":false}"), RESULT_ANSWER_NOT_SUCCESS);
  EXPECT_EQ(session.HandleReply(Answer("[]")), RESULT_ANSWER_NO_COMMANDS);
  EXPECT_EQ(session.HandleReply("{\"success\":true}"), RESULT_ANSWER_NO_COMMANDS);
  EXPECT_EQ(session.HandleReply(Answer("[{\"CMD\":\"REBOOT\"},{\"DETAILS\":{}}]")), RESULT_NO_KNOWN_COMMAND);
  EXPECT_FALSE(folder_.Exists("Update/filelist.txt"));
}

TEST_F(UpdateExchange, TheFirstFailingCommandEndsTheRun) {
  TUpdateSession session("1", "M");
  // A folder where the list file belongs: the list cannot be written.
  folder_.Write("Update/filelist.txt/x", "");
  const std::string ecr = CheckFiles("", "\"TARGET\":\"ECR\",");
  EXPECT_EQ(session.HandleReply(Answer("[{\"CMD\":\"X\"}," + CheckFiles("") + "," + ecr + "]")),
            RESULT_FILE_LIST_SAVE_FAILED);
  EXPECT_FALSE(folder_.Exists("filelist.txt")) << "the command after the failure ran";

  folder_.Remove("Update/filelist.txt");
  EXPECT_EQ(session.HandleReply(Answer("[" + ecr + ",{\"CMD\":\"X\"}]")), 0);
  EXPECT_EQ(folder_.Read("filelist.txt"), "") << "an empty listing still rewrites the list";
}

TEST_F(UpdateExchange, OnlyUpdateFolderCommandsNamingTheSpecialFileRaiseTheFlag) {
  TUpdateSession session("1", "M");
  EXPECT_EQ(session.HandleReply(Answer("[" + CheckFiles("", "\"CMD_ID\":\"PFLS.BAK\",\"TARGET\":\"ECR\",") + "]")), 0);
  EXPECT_FALSE(session.SpecialFileFlag());
  EXPECT_EQ(session.HandleReply(Answer("[" + CheckFiles("", "\"CMD_ID\":\"PFLS.BAK\",") + "]")), 0);
  EXPECT_TRUE(session.SpecialFileFlag());
}

// The updater's own folder, shared with a writer that puts other bytes of
// the same length into the work file once it has been written, when the
// updater first looks at it (as a second process would).
class TOverwrittenWorkFile : public IFileSystem {
 public:
  explicit TOverwrittenWorkFile(IFileSystem* files) : files_(files) {}
  uint32_t GetFreeSpace() override { return files_->GetFreeSpace(); }
  TResult Check() override { return files_->Check(); }
  uint32_t GetFileSize(const char* name) override {
    Overwrite(name);
    return files_->GetFileSize(name);
  }
  TResult Remove(const char* name) override { return files_->Remove(name); }
  TResult Move(const char* source, const char* target) override { return files_->Move(source, target); }
  IFileReadable* OpenRead(const char* name) override {
    Overwrite(name);
    return files_->OpenRead(name);
  }
  IFileWritable* OpenWrite(const char* name, uint32_t mode) override {
    written_ = std::string(name) == "TMP.TMP";
    return files_->OpenWrite(name, mode);
  }
  TResult GetLastResult() override { return files_->GetLastResult(); }
  int OpenHandle(const char* name, uint32_t mode) override { return files_->OpenHandle(name, mode); }
  char* MakePath(char* buffer, const char* name) override { return files_->MakePath(buffer, name); }
  TResult Replace(const char* source, const char* target) override { return files_->Replace(source, target); }

  std::string overwriteWith;

 private:
  void Overwrite(const char* name) {
    if (!written_ || overwriteWith.empty() || std::string(name) != "TMP.TMP") return;
    written_ = false;
    std::unique_ptr<IFileWritable> file(files_->OpenWrite(name, OPEN_CREATE_TRUNCATE));
    file->Write(overwriteWith.data(), static_cast<uint32_t>(overwriteWith.size()));
  }

  IFileSystem* files_;
  bool written_ = false;
};

// Runs one check-files command on the updater's own folder; no server is
// reachable (port 1 of the loopback refuses) unless another host is given.
class CheckFilesCommand : public UpdateExchange {
 protected:
  TJsonValue Run(const std::string& files, const std::string& host = "127.0.0.1:1") {
    const std::string command = CheckFiles(files, "\"CMD_ID\":\"7\",\"HOST_URL\":\"" + host + "\",");
    TCommandCheckFiles checkFiles(TJsonValue(command), &client_, "", &files_);
    return checkFiles.Execute();
  }
  THttpClient client_;
  TOverwrittenWorkFile files_{GetSystem()->GetAppFileSystem()};
};

TEST_F(CheckFilesCommand, ListsWhatItHandledSortedAndStopsAtTheFirstEmptySize) {
  folder_.Write("b.bin", "bee");
  folder_.Write("a.bin", "ay");
  const TJsonValue reply = Run(FileEntry("b.bin", "3", Sha1Hex("bee")) + "," + FileEntry("a.bin", "\"2\"", Sha1Hex("ay")) +
                               "," + FileEntry("z.bin", "0", "X") + "," + FileEntry("c.bin", "5", "X"));
  EXPECT_EQ(reply.Get("ERR_CODE").AsString(""), "0");
  EXPECT_EQ(reply.Get("CMD_ID").AsString(""), "7");
  EXPECT_EQ(reply.Get("DATE").AsString("").size(), 6u);
  EXPECT_EQ(reply.Get("TIME").AsString("").size(), 6u);
  EXPECT_EQ(folder_.Read("filelist.txt"), "a.bin\r\nb.bin\r\n");
}

// Names reaching outside the folder, and names Windows opens as devices
// (whose reading may never end), are refused before anything is opened.
TEST_F(CheckFilesCommand, NamesReachingOutsideTheFolderOrNamingADeviceAreRefused) {
  folder_.Write("ok.bin", "ok");
  const TJsonValue reply =
      Run(FileEntry("../escape.bin", "4", "X") + "," + FileEntry("/etc/passwd", "4", "X") + "," +
          FileEntry("C:x.bin", "4", "X") + "," + FileEntry("sub\\\\..\\\\..\\\\x", "4", "X") + "," +
          FileEntry("NUL", "4", "X") + "," + FileEntry("sub/com1.txt", "4", "X") + "," +
          FileEntry("ok.bin", "2", Sha1Hex("ok")));
  EXPECT_EQ(reply.Get("ERR_CODE").AsInteger(-1), RESULT_FILE_NAME_REFUSED);
  EXPECT_EQ(folder_.Read("filelist.txt"), "ok.bin\r\n");
  EXPECT_FALSE(folder_.Exists("../escape.bin"));

  for (const char* good : {"a.bin", "sub/a..b", "..a", "x.new", "CONFIG.INI", "COM10", "LPT", "NULL.bin", "xcon",
                           "con1/a", "a.CON"}) {
    EXPECT_TRUE(IsSafeFileName(good)) << good;
  }
  for (const char* bad : {"..", "a/../b", "a\\..", "\\\\server\\x", "a\r\nHost: x", "a:stream", "CON", "con.txt",
                          "Aux.tar.gz", "PRN.", "NUL ", "con .x", "COM1", "sub/COM9.log", "lpt5\\a.bin", "LPT0",
                          "CONIN$", "d/conout$.x"}) {
    EXPECT_FALSE(IsSafeFileName(bad)) << bad;
  }
  // The folder's own work files, as Windows reads the names.
  for (const char* own : {"TMP.TMP", "filelist.tmp", "tmp.prt", "PART.TMP ", "Part.Prt."}) {
    EXPECT_TRUE(IsWorkFileName(own)) << own;
  }
  for (const char* listed : {"filelist.txt", "sub/PART.TMP", "PART.TMP.x", "TMP.TMPX"}) {
    EXPECT_FALSE(IsWorkFileName(listed)) << listed;
  }
}

TEST_F(CheckFilesCommand, AFailedDownloadLeavesTheFileAndIsReported) {
  folder_.Write("cfg.bin", "old");
  TJsonValue reply = Run(FileEntry("cfg.bin", "3", Sha1Hex("new")));
  EXPECT_NE(reply.Get("ERR_CODE").AsInteger(0), 0);
  EXPECT_EQ(folder_.Read("cfg.bin"), "old");
  EXPECT_EQ(folder_.Read("filelist.txt"), "cfg.bin\r\n");

  reply = Run(FileEntry("cfg.bin", "3", Sha1Hex("new")), "");
  EXPECT_EQ(reply.Get("ERR_CODE").AsString(""), "0") << "no host: nothing is tried";
  EXPECT_EQ(folder_.Read("cfg.bin"), "old");
}

// A download is put in place when what was written has the listed SHA-1 (in
// either letter case), and refused otherwise, without the file being read.
TEST_F(CheckFilesCommand, WhatIsPutInPlaceIsWhatWasChecked) {
  folder_.Write("cfg.bin", "old");
  std::string lowerCase = Sha1Hex("fresh");
  for (char& c : lowerCase) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  const std::string answer = "HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\n";
  THttpPeer right({answer + "fresh"});
  TJsonValue reply = Run(FileEntry("cfg.bin", "5", lowerCase), "127.0.0.1:" + std::to_string(right.Port()));
  EXPECT_EQ(reply.Get("ERR_CODE").AsString(""), "0");
  EXPECT_EQ(folder_.Read("cfg.bin"), "fresh");

  THttpPeer wrong({answer + "stale"});
  reply = Run(FileEntry("cfg.bin", "5", Sha1Hex("newer")), "127.0.0.1:" + std::to_string(wrong.Port()));
  EXPECT_EQ(reply.Get("ERR_CODE").AsInteger(0), RESULT_DOWNLOAD_MISMATCH);
  EXPECT_EQ(folder_.Read("cfg.bin"), "fresh");

  THttpPeer overwritten({answer + "newer"});
  files_.overwriteWith = "NEWER";
  reply = Run(FileEntry("cfg.bin", "5", Sha1Hex("newer")), "127.0.0.1:" + std::to_string(overwritten.Port()));
  EXPECT_EQ(reply.Get("ERR_CODE").AsInteger(0), RESULT_DOWNLOAD_MISMATCH);
  EXPECT_EQ(folder_.Read("cfg.bin"), "fresh");
  EXPECT_FALSE(folder_.Exists("TMP.TMP"));
}

}  // namespace
