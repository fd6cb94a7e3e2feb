#pragma once

class Form2;

// Connects every control of the chart window to its handler: the window's whole event map.
void wireForm2(Form2& form);
