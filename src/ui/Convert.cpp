#include "ui/Convert.h"
