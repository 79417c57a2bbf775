// Runs one script through the script interpreter with the real Qt platform, so that its "com"
// lines go out through Qt SerialPort. The script file stands in for the file dialog's answer;
// messages go to standard error instead of boxes. Exit status 0 when the script ended normally
// without a message.
#include <QApplication>
#include <clocale>
#include <cstdio>
#include <string>
#include <vector>

#include "app/qt_platform.h"
#include "engine/sorvantel_doc.h"

namespace {

class ScriptPlatform : public sorv::QtPlatform {
public:
    explicit ScriptPlatform(std::string script) : script_(std::move(script)) {}
    bool OpenFileDialog(const sorv::FileDialogSpec&, std::string& path) override {
        path = script_;
        return true;
    }
    void ShowMessage(const std::string& text) override {
        std::fprintf(stderr, "message: %s\n", text.c_str());
        messages.push_back(text);
    }
    void SetMainTitle(std::string_view title) override { lastTitle = title; }
    std::vector<std::string> messages;
    std::string lastTitle;

private:
    std::string script_;
};

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s SCRIPT\n", argv[0]);
        return 2;
    }
    QApplication app(argc, argv);
    std::setlocale(LC_NUMERIC, "C");
    ScriptPlatform platform(argv[1]);
    int status = 0;
    {
        sorv::CSorvantelDoc doc(platform);
        platform.SetDocument(&doc);
        doc.OnScript();
        if (!platform.messages.empty() || platform.lastTitle != "Sorvantel from KELD - script ended") {
            std::fprintf(stderr, "script did not end normally; title: %s\n", platform.lastTitle.c_str());
            status = 1;
        }
    }
    return status;
}
