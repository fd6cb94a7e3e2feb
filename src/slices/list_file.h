#pragma once
// Loading name/value list files into the list.

class Form1;

void PushButton3_Click(Form1& form);
