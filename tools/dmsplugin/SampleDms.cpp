// SPDX-License-Identifier: MIT
// A sample document-management plug-in. It answers from the INI configuration it is handed:
//
//   [DLL]
//   DLL Name=/path/to/libzvdmssample.so
//   [Codes]                 codes and values for every document, in file order
//   Dept=D200
//   [Document:report.pdf]   used instead of [Codes] for that document (name compared exactly)
//   Project=P210
//   [Fail]                  documents the plug-in refuses, with the error number it reports
//   secret.doc=13
//
// The returned arrays belong to the library and stay valid until the next call.
#include <cerrno>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

namespace {

using Entries = std::vector<std::pair<std::string, std::string>>;

std::string trim(const std::string &s) {
    const auto begin = s.find_first_not_of(" \t\r");
    if (begin == std::string::npos)
        return {};
    const auto end = s.find_last_not_of(" \t\r");
    return s.substr(begin, end - begin + 1);
}

// Every key=value of one section, in order.
Entries section(const std::string &text, const std::string &name) {
    Entries entries;
    bool inside = false;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        const std::string line = trim(text.substr(start, end - start));
        start = end + 1;
        if (line.size() >= 2 && line.front() == '[' && line.back() == ']') {
            inside = trim(line.substr(1, line.size() - 2)) == name;
            continue;
        }
        const size_t equals = line.find('=');
        if (inside && equals != std::string::npos)
            entries.emplace_back(trim(line.substr(0, equals)), trim(line.substr(equals + 1)));
    }
    return entries;
}

struct Answer {
    std::vector<std::string> codes, values;
    std::vector<char *> codePointers, valuePointers;
};
Answer lastAnswer;

} // namespace

extern "C" __attribute__((visibility("default"))) int GetDocumentInfo(const char *config,
                                                                      const char *documentName,
                                                                      int *count, char ***codes,
                                                                      char ***values) {
    if (!config || !documentName || !count || !codes || !values) {
        errno = EINVAL;
        return 0;
    }
    const std::string text(config);
    const std::string document(documentName);
    for (const auto &[name, error] : section(text, "Fail")) {
        if (name == document) {
            errno = std::atoi(error.c_str());
            return 0;
        }
    }
    Entries entries = section(text, "Document:" + document);
    if (entries.empty())
        entries = section(text, "Codes");

    lastAnswer = Answer{};
    for (const auto &[code, value] : entries) {
        lastAnswer.codes.push_back(code);
        lastAnswer.values.push_back(value);
    }
    for (size_t i = 0; i < entries.size(); ++i) {
        lastAnswer.codePointers.push_back(lastAnswer.codes[i].data());
        lastAnswer.valuePointers.push_back(lastAnswer.values[i].data());
    }
    *count = int(entries.size());
    *codes = lastAnswer.codePointers.data();
    *values = lastAnswer.valuePointers.data();
    return 1;
}
