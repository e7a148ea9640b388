#include "plugin/page_instances.h"

PageInstances& OpenPages()
{
    static PageInstances pages;
    return pages;
}
