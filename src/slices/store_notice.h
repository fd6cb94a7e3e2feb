#pragma once
// The one word at start-up about a stored list that could not be read: the store has kept the
// file aside, the list starts empty, and the user learns where the file is.

class Form1;

void tellOfUnreadableStore(Form1& form);
