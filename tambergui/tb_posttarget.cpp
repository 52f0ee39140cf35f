#include "tb_posttarget.h"

#include "tb_action.h"

bool TB_PostTarget::Post(TB_Action* action) {
    {
        std::lock_guard<std::mutex> guard(m_lock);
        // Posting under the lock: Detach waits for it, so the window cannot be freed mid-post.
        if (m_window && TB_GetPlatform().PostAction(m_window, action)) {
            return true;
        }
    }
    if (action) {
        action->Release();
    }
    return false;
}

void TB_PostTarget::Attach(TB_WindowHandle window) {
    std::lock_guard<std::mutex> guard(m_lock);
    m_window = window;
}
