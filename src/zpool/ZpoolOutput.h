#pragma once
#include <QString>

// What a run without a parser gives back: zpool's standard output as the
// runner returned it ("Canceled" when the authorization was dismissed).
using ZpoolOutput = QString;
