#pragma once

#include "tb_action.h"

// A widget's actions and its progress through shortcut sequences; the toolkit's global list
// has the same form. The list points to its actions without counting them: their owner keeps
// them alive while lists refer to them.
class TB_ActionList : public TB_Object {
public:
    // Adds the action once; adding it again does nothing.
    void Add(TB_Action* action);
    void Remove(TB_Action* action);
    // The first action whose Id equals id (an empty Id matches an empty id), or null.
    TB_Action* FindAction(const TB_String& id) const;
    // Advances the matching by one key and executes an action whose whole sequence was typed
    // and that no other action shares; true when one was executed.
    bool TryShortcut(const TB_ShortCutKeyInfo& key);

    TB_List<TB_Action*> List;
    TB_List<TB_Action*> Candidates;
    tb_int Position = 0;
};
