"""The plug-in run: a device image presented as a CD-ROM drive to a simulated PC (a Wine
prefix), the program that its autorun.inf names started from it, and a report of what happened."""
