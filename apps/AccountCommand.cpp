// zep3dtool account: writes an installation's account file "Bin/acc.ini" with the password enciphered
// as the library's account reader expects it, and reads the file back through that reader.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>

#include "Commands.h"
#include "Options.h"
#include "System.h"
#include "platform/Platform.h"
#include "toolkit/AccountPassword.h"
#include "toolkit/ZEP3DACCSecurity.h"

namespace zep {
namespace apps {
namespace {

const char kSet[] = "account set";
const char kShow[] = "account show";

// The reader's buffers hold 511 characters; the password text at most 8 blocks of 16 bytes.
constexpr size_t kMaxUserName = 511;
constexpr size_t kMaxPassword = 128;

const char kAccountHelp[] =
    "usage: zep3dtool account set --install DIR --user NAME [--password-stdin] [--force]\n"
    "       zep3dtool account show --install DIR\n"
    "\n"
    "Writes (set) or reads back (show) the cluster account of an installation: the file Bin/acc.ini,\n"
    "which the library reads for cluster jobs and for runs on Linux machines. The password is stored\n"
    "enciphered; show prints the user name and the reader's status, never the password.\n"
    "'zep3dtool account set --help' and 'zep3dtool account show --help' describe the options.\n";

std::string AccountFile(const std::string& install) { return install + "Bin/acc.ini"; }

// The path as the library's launch code builds it: installation folder, then "\Bin\acc.ini".
std::string LibraryAccountPath(const std::string& install) { return install + "\\Bin\\acc.ini"; }

std::string ReaderStatusMeaning(int status) {
    switch (status) {
        case 1000:
            return "the account can be read";
        case 1001:
            return "no account file path";
        case 1004:
            return "the account file does not exist";
        case 1007:
            return "the account file cannot be read as an account file";
        case 1009:
            return "the password cannot be deciphered";
        case 1010:
            return "the user name or the password is empty";
        default:
            return "unknown status";
    }
}

// Reads the account through the library's reader; the deciphered password is wiped unless asked for.
int ReadBack(const std::string& path, std::string* user, std::string* password) {
    char userBuffer[1024] = {0};
    char passwordBuffer[1024] = {0};
    CZEP3DACCSecurity reader;
    reader.ReadAccount(path.c_str(), userBuffer, passwordBuffer);
    *user = userBuffer;
    if (password != nullptr) *password = passwordBuffer;
    platform::SecureWipe(passwordBuffer, sizeof(passwordBuffer));
    return reader.GetStatus();
}

bool GetPassword(bool fromStdin, std::string* password, std::string* error) {
    if (fromStdin) {
        if (!std::getline(std::cin, *password)) {
            *error = "no password on standard input";
            return false;
        }
        if (!password->empty() && password->back() == '\r') password->pop_back();
        return true;
    }
    if (!StdinIsTerminal()) {
        *error =
            "standard input is not a terminal: give the password on standard input with --password-stdin";
        return false;
    }
    std::string again;
    if (!ReadPasswordNoEcho("Password: ", password) || !ReadPasswordNoEcho("Password again: ", &again)) {
        platform::SecureWipe(*password);
        platform::SecureWipe(again);
        *error = "no password was entered";
        return false;
    }
    bool same = again == *password;
    platform::SecureWipe(again);
    if (!same) {
        // Neither entry is used: the first goes as the second did.
        platform::SecureWipe(*password);
        *error = "the two passwords differ";
        return false;
    }
    return true;
}

int Set(const std::vector<std::string>& args) {
    Options options(
        "zep3dtool account set --install DIR --user NAME [--password-stdin] [--force]",
        "Writes <install>/Bin/acc.ini with the user name and the password enciphered as the\n"
        "library's account reader expects it, then reads it back through that reader. The password\n"
        "is asked for twice without echo, or read as one line from standard input. On POSIX the file\n"
        "is created readable by its owner only (mode 0600): the cipher's key is part of the library,\n"
        "so the file's permissions are what protects the password.",
        {{"install", "DIR", "installation folder", true},
         {"user", "NAME", "the account's user name", true},
         {"password-stdin", "", "read the password as one line from standard input"},
         {"force", "", "replace an existing account file"}});
    std::string error;
    if (!options.Parse(args, &error)) return UsageError(kSet, error);
    if (options.Help()) {
        std::fputs(options.HelpText().c_str(), stdout);
        return kExitOk;
    }
    std::string install = InstallFolder(options.Value("install"));
    std::string user = options.Value("user");
    if (user.empty() || user.size() > kMaxUserName || user.find_first_of("\r\n") != std::string::npos)
        return UsageError(kSet, "the user name must have 1 to 511 characters and no line end");
    if (!IsFolder(install + "Bin"))
        return Fail(kSet,
                    install + "Bin is not a folder: " + options.Value("install") + " is not an installation");
    std::string path = AccountFile(install);
    if (platform::QueryFileStatus(path.c_str()) && !options.Has("force"))
        return Fail(kSet, path + " exists; give --force to replace it");

    std::string password;
    if (!GetPassword(options.Has("password-stdin"), &password, &error)) return Fail(kSet, error);
    if (password.empty()) return Fail(kSet, "the password is empty");
    if (password.size() > kMaxPassword) {
        platform::SecureWipe(password);
        return Fail(kSet, "the password is longer than 128 bytes, more than the account file can hold");
    }

    std::string text = toolkit::AccountFileText(user, toolkit::EncipherAccountPassword(password));
    // Written beside the account file, private from the start, and checked there, so a failure leaves
    // the old file alone.
    std::string fresh = path + ".new" + std::to_string(ProcessId());
    if (!CreatePrivateFile(platform::MapPath(fresh.c_str()), text, &error)) {
        platform::SecureWipe(password);
        return Fail(kSet, "cannot write " + fresh + ": " + error);
    }
    std::string readUser;
    std::string readPassword;
    int status = ReadBack(fresh, &readUser, &readPassword);
    bool same = status == 1000 && readUser == user && readPassword == password;
    platform::SecureWipe(readPassword);
    platform::SecureWipe(password);
    if (!same) {
        platform::RemoveFile(fresh.c_str());
        return Fail(kSet, "the account file does not read back as written (reader status " +
                              std::to_string(status) + "): the user name cannot be stored as given");
    }
    std::error_code renamed;
    std::filesystem::rename(platform::MapPath(fresh.c_str()), platform::MapPath(path.c_str()), renamed);
    if (renamed) {
        platform::RemoveFile(fresh.c_str());
        return Fail(kSet, "cannot replace " + path + ": " + renamed.message());
    }
    std::printf("Wrote %s for user %s\n", path.c_str(), user.c_str());
    return kExitOk;
}

int Show(const std::vector<std::string>& args) {
    Options options("zep3dtool account show --install DIR",
                    "Reads <install>/Bin/acc.ini through the library's account reader, as a run does, and\n"
                    "prints the user name and the reader's status; never the password. Exit code 0 when the\n"
                    "account can be read (status 1000), 1 otherwise.",
                    {{"install", "DIR", "installation folder", true}});
    std::string error;
    if (!options.Parse(args, &error)) return UsageError(kShow, error);
    if (options.Help()) {
        std::fputs(options.HelpText().c_str(), stdout);
        return kExitOk;
    }
    std::string install = InstallFolder(options.Value("install"));
    std::string user;
    int status = ReadBack(LibraryAccountPath(install), &user, nullptr);
    std::printf("Account file  %s\n", AccountFile(install).c_str());
    if (status == 1000) std::printf("User name     %s\n", user.c_str());
    std::printf("Status        %d (%s)\n", status, ReaderStatusMeaning(status).c_str());
    if (status != 1000) {
        return Fail(kShow, "the account of " + AccountFile(install) + " cannot be read: " +
                               ReaderStatusMeaning(status) + " (status " + std::to_string(status) + ")");
    }
    return kExitOk;
}

}  // namespace

int AccountCommand(const std::vector<std::string>& args) {
    std::string sub = args.empty() ? "" : args.front();
    std::vector<std::string> rest(args.empty() ? args.end() : args.begin() + 1, args.end());
    if (sub == "set") return Set(rest);
    if (sub == "show") return Show(rest);
    if (sub == "--help" || sub == "-h") {
        std::fputs(kAccountHelp, stdout);
        return kExitOk;
    }
    return UsageError("account", sub.empty() ? "expected 'set' or 'show'" : "unknown action '" + sub + "'");
}

}  // namespace apps
}  // namespace zep
