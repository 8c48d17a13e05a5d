// Any bytes as a script file, read into a store, then lookups and changes with names taken from the
// same bytes (the store's results must agree with what it holds), and read as an account file.
#include <clocale>
#include <vector>

#include "FuzzDriver.h"
#include "platform/Platform.h"
#include "toolkit/ZEP3DACCSecurity.h"
#include "toolkit/ZEP3DScript.h"

static void Check(bool condition) {
    if (!condition) std::abort();
}

void Fuzz(const uint8_t* data, size_t size) {
    static const std::string path = [] {
        // A binary input reports once per line; the messages need not reach the system log.
        zep::platform::SetDebugOutputSink([](const char*) {});
        return FuzzTempFolder() + "/script.ini";
    }();
    const char* text = reinterpret_cast<const char*>(data);
    WriteFuzzFile(path, {text, size});
    // Half of the inputs are read in a multibyte locale, where first bytes from 0x80 up are decoded.
    std::setlocale(LC_CTYPE, size % 2 == 0 ? "C" : "C.UTF-8");

    ZEP3DToolKit::CZEP3DScript store;
    int status = 12345;
    const bool read = store.ReadINIFile(path.c_str(), &status);
    Check(read == !store.SectionNames().empty() && status == (read ? 0 : 12345));
    Check(store.SectionNames().size() == store.Sections().size());

    // Names: the input's lines, cut short, plus every stored section name.
    std::vector<std::string> names;
    for (size_t start = 0; start < size && names.size() < 16;) {
        size_t end = start;
        while (end < size && text[end] != '\n' && text[end] != '\0' && end - start < 64) ++end;
        names.emplace_back(text + start, end - start);
        start = end + 1;
    }
    for (const std::string& name : store.SectionNames()) names.push_back(name);

    for (const std::string& section : names) {
        const int i = store.FindSection(section.c_str());
        Check(i >= -1 && i < static_cast<int>(store.Sections().size()));
        for (size_t k = 0; k < names.size() && k < 8; ++k) {
            const char* fallback = "fallback";
            const char* value = store.GetSectionContext(section.c_str(), names[k].c_str(), fallback);
            const int key = store.FindSectionContext(i, names[k].c_str());
            Check(key == -1 ? value == fallback : value == store.Sections()[i].m_vValue[key].c_str());
        }
    }
    if (!names.empty()) {
        Check(store.AddSectionContext(names[0].c_str(), names.back().c_str(), "v", true));
        const char* value = store.GetSectionContext(names[0].c_str(), names.back().c_str(), nullptr);
        Check(value != nullptr && std::string(value) == "v");
    }
    store.AddSectionComment(static_cast<int>(size % 7) - 3, "c");
    Check(store.Erase() && store.FindSection("") == -1);

    // The same bytes as an account file, into buffers of exactly the size the reader may fill.
    std::vector<char> user(512), password(512);
    CZEP3DACCSecurity reader;
    const bool account = reader.ReadAccount(path.c_str(), user.data(), password.data());
    Check(account ? reader.GetStatus() == 1000 && user[0] != 0 && password[0] != 0
                  : user[0] == 0 && password[0] == 0 && reader.GetStatus() != 1000);
}
