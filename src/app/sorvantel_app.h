// The application: names itself, then creates the main window, which creates the one
// document and the one view for the whole run.
#pragma once

#include <memory>

namespace sorv {

class CMainFrame;

class CSorvantelApp {
public:
    CSorvantelApp();
    ~CSorvantelApp();
    // Creates and shows the main window; false if it could not be created.
    bool InitInstance();
    CMainFrame* MainFrame() { return frame_.get(); }

private:
    std::unique_ptr<CMainFrame> frame_;
};

}  // namespace sorv
