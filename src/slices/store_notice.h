#pragma once
// The one word at start-up about a stored list that could not be read: the list starts empty,
// and the user learns where the file was kept aside, or that it could not be and stays unwritten.

class Form1;

void tellOfUnreadableStore(Form1& form);
