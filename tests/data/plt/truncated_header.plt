OziExplorer Track Point File Version 2.1
WGS 84
Altitude is in Feet
