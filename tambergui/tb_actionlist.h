#pragma once

#include "tb_object.h"

// A widget's list of actions and shortcut keys; made on first use.
class TB_ActionList : public TB_Object {};
