#include "objfiles/objfiles.h"
