#include "userdata/cCategory.h"

void cCategory::clear()
{
    cDBRecord::clear();
    catid = 0;
    name.makeEmpty();
    flag = false;
}

bool cCategory::isEqualCategory(const cCategory& other) const
{
    return isEqual(other) && catid == other.catid && name.equals(other.name) && flag == other.flag;
}
