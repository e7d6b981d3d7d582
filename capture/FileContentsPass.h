// The third pass of a capture: every FileContents entry is paired with the last file
// group descriptor of its aspect ("FileGroupDescriptorW" preferred to the ANSI one) and
// gets one child per file of it. Ends at once when the user has stopped.
#pragma once

class CCBDataArray;
class CCBDataCreateContext;

void ImportFileContentsPass(CCBDataArray& snapshot, CCBDataCreateContext& context);
