#include "app/Form1.h"

void Form1::PushButton1_Click() {}
void Form1::PushButton2_Click() {}
void Form1::PushButton3_Click() {}
