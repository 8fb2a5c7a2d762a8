#pragma once
// Dialog classes. CDialog itself is declared with the other window classes.
#include "afxwin.h"
