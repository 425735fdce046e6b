#include "userdata/cCategory.h"

void cCategory::clear()
{
    cDBRecord::clear();
    catid = 0;
    name.makeEmpty();
    flag = false;
}
