#pragma once

// The phrase table in key order: X(key, English text). The order is the numeric value of each
// key, which undo records store, so entries are only ever appended, never moved.
// clang-format off
#define KELTO_PHRASES(X) \
    X(MFormCap, "Kelto Animator") \
    X(MFrameNum, "Frame") \
    X(MRepeatNum, "Repeat :") \
    X(MPlayCap, "&Play") \
    X(MPlayHint, "Play Animation") \
    X(MStopCap, "&Stop") \
    X(MStopHint, "Stop Animation") \
    X(MLoopCap, "Loop") \
    X(MLoopHint, "Loop play of animation") \
    X(MSpeedHint, "Frame rate (fps)") \
    X(MBackCap, "&Background") \
    X(MBackHint, "Set Background") \
    X(MBackNoneMsg, "No backgrounds have been loaded yet") \
    X(MAddFigCap, "Add &Figure") \
    X(MAddFigHint, "Add new figure") \
    X(MSelectedBox, "Selected Figure") \
    X(MDeleteHint, "Delete Figure") \
    X(MEditHint, "Edit Figure Type") \
    X(MCenterHint, "Center Figure") \
    X(MFlipHint, "Flip Figure") \
    X(MRaiseHint, "Raise (Ctrl for 1 step)") \
    X(MLowerHint, "Lower (Ctrl for 1 step)") \
    X(MColorHint, "Figure Color") \
    X(MDuplicateHint, "Duplicate Figure") \
    X(MJoinHint, "Join/Unjoin Figure to another") \
    X(MOpacityHint, "Opacity (%)") \
    X(MScaleHint, "Figure Scale") \
    X(MAddFrameCap, "&Add Frame") \
    X(MAddFrameHint, "Add or store the frame (Space)") \
    X(MFile, "File") \
    X(MFNew, "New") \
    X(MFOpen, "Open Animation") \
    X(MFSave, "Save Animation") \
    X(MFSaveAs, "Save Animation As") \
    X(MFExport, "Export Animation") \
    X(MFBack, "Load Background") \
    X(MFLoadFig, "Load Figure Type") \
    X(MFCreateFig, "Create Figure Type") \
    X(MFSprite, "Load Sprite Image") \
    X(MFExit, "Exit") \
    X(MSelectAll, "Select All Figures") \
    X(MPasteFrames, "Paste frames to end") \
    X(MOptions, "Options") \
    X(MHelp, "Help") \
    X(MHReadMe, "View ReadMe File") \
    X(MHAbout, "About") \
    X(MTLInsert, "Insert") \
    X(MTLPasteInsert, "Paste Insert") \
    X(MTLDelete, "Delete") \
    X(MTLDeleteSel, "Delete selected frames") \
    X(MTLSaveSel, "Save Selected") \
    X(MTLCopySel, "Copy selected frames") \
    X(MNotKelOrStk, "That is not a kel or stk file") \
    X(MSaveProj, "Would you like to save the current project?") \
    X(MBackground, "Background") \
    X(MRemoveBack, "is no longer in use. Would you like to delete it from the list of backgrounds?") \
    X(MNoMoreFig, "You cannot add any more figures") \
    X(MNoMoreFrames, "You cannot add any more frames") \
    X(MFigType, "Figure type") \
    X(MRemoveFigType, "is no longer in use. Would you like to delete it from the list of figure types?") \
    X(MKeltoFile, "Kelto File") \
    X(KelWrongVer, "That .kel file is not compatible with this version of Kelto") \
    X(StkWrongVer, "That .stk file is not compatible with this version of Kelto") \
    X(MNoFrames, "You must create at least one frame before saving an animation") \
    X(MNoMoreBack, "You cannot load any more backgrounds") \
    X(MBackAnimDim, "Would you like to set the animation dimensions to the dimensions of the image?") \
    X(MStkFile, "Stick Figure File") \
    X(MNoReadMe, "ReadMe file not found in executable folder") \
    X(MDel1FrameCheck, "Are you sure you want to delete this frame?") \
    X(MDelFrameCheck, "Are you sure you want to delete all selected frames?") \
    X(MFileNotExist, "That file does not exist") \
    X(MSmallImage, "Image dimensions must be at least 2x2 pixels") \
    X(MFileTypeWrong, "Incorrect file type") \
    X(MUndoCenter, "Center") \
    X(MUndoFlip, "Flip") \
    X(MUndoRaise, "Raise") \
    X(MUndoLower, "Lower") \
    X(MUndoColor, "Colour") \
    X(MUndoDelete, "Delete") \
    X(MUndoAddFig, "Add Figure") \
    X(MUndoBack, "Background") \
    X(MUndoJoin, "Join") \
    X(MUndoUnjoin, "Unjoin") \
    X(MUndoTrans, "Transparency") \
    X(MUndoScale, "Scale") \
    X(MUndoSelect, "Select") \
    X(BFormCap, "Stick Figure Builder") \
    X(BCircleHint, "Add Circle (C)") \
    X(BLineHint, "Add Line (L)") \
    X(BToggleHint, "Toggle segment Kind (K)") \
    X(BCircleFillHint, "Change circle Fill (F)") \
    X(BDuplicateHint, "Duplicate segment (D)") \
    X(BThicknessHint, "Segment thickness (Up/Down arrow - Ctrl +/-5)") \
    X(BStaticHint, "Static / dynamic segment (S)") \
    X(BOriginHint, "Set segment end as main handle (O)") \
    X(BSplitHint, "Split segment (Insert)") \
    X(BDeleteHint, "Delete segment (Delete - Ctrl for branch)") \
    X(BFile, "File") \
    X(BNew, "New") \
    X(BOpen, "Open") \
    X(BSave, "Save") \
    X(BSaveAs, "Save As") \
    X(BAddToAnim, "Add To Animation") \
    X(BClose, "Close") \
    X(Edit, "Edit") \
    X(Undo, "Undo") \
    X(BEditMode, "Edit Mode") \
    X(BUndoMove, "Move") \
    X(BUndoAdd, "Add") \
    X(BUndoKind, "Kind") \
    X(BUndoDuplicate, "Duplicate") \
    X(BUndoSplit, "Split") \
    X(BUndoDelete, "Delete") \
    X(BUndoStatic, "Static") \
    X(BUndoOrigin, "Set main handle") \
    X(BUndoFillKind, "Circle fill") \
    X(BUndoOpen, "Open") \
    X(BUndoThickness, "Thickness") \
    X(Redo, "Redo") \
    X(BSegLine, "line") \
    X(BSegImage, "image") \
    X(BSegCircWhite, "circle (white)") \
    X(BSegCircFill, "circle (filled)") \
    X(BSegCircClear, "circle (clear)") \
    X(BSegStatic, "static") \
    X(BSegDynamic, "dynamic") \
    X(BSegSegment, "segment") \
    X(BSegSegments, "segments") \
    X(BSegThickness, "thickness") \
    X(BSegLength, "length") \
    X(BSegAngle, "angle") \
    X(BClickToAdd, "click to add") \
    X(BNoMoreSeg, "You cannot add any more figure segments") \
    X(BSelectHandle, "Select a handle to attach segment") \
    X(ReplaceFile, "A file with that name already exists. Would you like to replace it?") \
    X(BFigUnsaved, "Figure changes are not saved. Are you sure?") \
    X(NoMoreFigType, "You cannot add any more figure types") \
    X(BFigNameTaken, "A figure type with that name already exists") \
    X(BKelto2StkConv, "Some data had to be modified when converting to the Kelto V2 STK format") \
    X(OFormCap, "Options") \
    X(ODimBox, "Animation Dimensions") \
    X(OOnionBox, "Onion Skins") \
    X(OAheadCap, "Show Ahead") \
    X(OAheadHint, "Show onion skins of frames infront of the one being edited") \
    X(OLangBox, "Language") \
    X(ODefaultCap, "&Restore Defaults") \
    X(OWidthCap, "Width") \
    X(OHeightCap, "Height") \
    X(OKBitCap, "&OK") \
    X(CancelBitCap, "&Cancel") \
    X(OChangeDimAll, "This will change all frames in the animation. Do you wish to continue?") \
    X(OHandlesBox, "Figure Handles") \
    X(OHandlesCap, "Show Unselected") \
    X(OHandlesHint, "Show the handles of unselected figures") \
    X(OAutosizeCap, "Autosize") \
    X(OAutosizeHint, "Shrink handles when close together") \
    X(AFormCap, "About") \
    X(AVersion, "Version") \
    X(ADate, "Date") \
    X(ACreatedBy, "Created by") \
    X(ACompany, "Company") \
    X(AWebsite, "Website") \
    X(AFacebookHint, "Visit our Facebook page") \
    X(VFormCap, "Avi Video Options") \
    X(Resize, "Resize") \
    X(SuperSample, "Super Sample") \
    X(VCompress, "Compress") \
    X(BaFormCap, "Click background to select - Hold Ctrl to keep open") \
    X(FiFormCap, "Click figure to select - Hold Ctrl to keep open") \
    X(GFormCap, "Animated Gif Options") \
    X(GAdvancedCap, "&Advanced") \
    X(GAdvancedBox, "Advanced Options") \
    X(GColor, "Colour Reduction") \
    X(GDither, "Dither Mode") \
    X(GOptimizeBox, "Optimization") \
    X(GMerge, "Merge Frames") \
    X(GPalette, "Colour Palette") \
    X(GCrop, "Crop") \
    X(GColQuant, "Quantize Optimal") \
    X(GColQuantWin, "Quantize Windows") \
    X(GColNetscape, "Netscape (216 color)") \
    X(GColGrayScale, "Gray-scale (256 color)") \
    X(GColWindows, "Windows (20 color)") \
    X(GColMono, "Monochrome (2 color)") \
    X(GColWinGray, "Windows Gray (4 color)") \
    X(GDithNearest, "Nearest (no dithering)") \
    X(IFormCap, "Save as Images Options") \
    X(IFormatBox, "Image Format") \
    X(IRepeatCap, "Save Repeated Frames") \
    X(IQualityCap, "Quality") \
    X(NFormCap, "Figure Name") \
    X(NGiveName, "You must name the figure before adding it to the animation") \
    X(PFormCap, "Saving Animation") \
    X(BFigNameChars, "The name holds characters that cannot be stored in an animation file. Please use Western European letters, digits and signs only") \
    X(MNoViewer, "No program could be started to show this file:") \
    X(MAnimSize, "Animation dimensions must be 1 to 32767 pixels per side and at most 67108864 pixels in all (8192 x 8192)") \
    X(ExMp4, "MP4 Video") \
    X(ExWebM, "WebM Video") \
    X(ExApng, "Animated PNG") \
    X(ExWebP, "Animated WebP") \
    X(ExFormCap, "%1 Options") \
    X(ExLoop, "Loop") \
    X(ExLossless, "Lossless") \
    X(ExDefault, "Default") \
    X(ExLowerBetter, "%1 to %2, lower is better") \
    X(ExHigherBetter, "%1 to %2, higher is better") \
    X(ExWrote, "Written: %1") \
    X(ExWroteFiles, "Written: %1 files, %2 to %3") \
    X(MUndoAddFrame, "Add Frame") \
    X(MUndoInsertFrame, "Insert Frame") \
    X(MUndoDeleteFrame, "Delete Frame") \
    X(MUndoDeleteFrames, "Delete Frames") \
    X(MUndoPasteFrames, "Paste Frames") \
    X(MUndoRepeat, "Repeat") \
    X(MUndoRemoveFigType, "Remove Figure Type") \
    X(MUndoRemoveBack, "Remove Background") \
    X(OUndoDepth, "Undo steps") \
    X(ExSheet, "Sprite Sheet") \
    X(ExMergeRepeats, "One cell per frame with its repeats") \
    X(ExTrim, "Trim frames to their drawn part") \
    X(ExColumns, "Columns") \
    X(ExAutomatic, "Automatic") \
    X(ExWroteTwo, "Written: %1 and %2") \
    X(MView, "View") \
    X(MRecentFiles, "Recent Files") \
    X(MRecentClear, "Clear Recent Files") \
    X(MSaved, "Saved %1") \
    X(ExExported, "Exported %1 frames to %2") \
    X(ExExportedTwo, "Exported %1 frames to %2 and %3") \
    X(ExExportedFiles, "Exported %1 frames to %2 files, %3 to %4") \
    X(LangLocale, "en") \
    X(MUndoInbetweens, "In-betweens") \
    X(MInbetweensCmd, "Insert In-betweens...") \
    X(MInbetweensCount, "Frames to insert") \
    X(MInbetweensEasing, "Easing") \
    X(MEaseLinear, "Linear") \
    X(MEaseIn, "Ease in") \
    X(MEaseOut, "Ease out") \
    X(MEaseInOut, "Ease in and out") \
    X(MInbetweensNeedTwo, "In-betweens need two stored frames: select two frames, or edit a frame that has a next one") \
    X(MFrameMenu, "Frame") \
    X(MBadKelFile, "That .kel file is damaged (%1)") \
    X(MBadStkFile, "That .stk file is damaged (%1)") \
    X(MKelTooLarge, "That .kel file is too large to open") \
    X(MKelTooLargeFigures, "That .kel file is too large to open: it holds more than %1 figures") \
    X(MWriteFailed, "Could not write %1") \
    X(MReadFailed, "Cannot read %1") \
    X(MRemoveFigTypeAsk, "Figure type '%1' is no longer in use. Would you like to delete it from the list of figure types?") \
    X(MRemoveBackAsk, "Background '%1' is no longer in use. Would you like to delete it from the list of backgrounds?") \
    X(BSegStatusOne, "(%1 segment )    %2: thickness %3, length %4, angle %5, %6") \
    X(BSegStatusMany, "(%1 segments )    %2: thickness %3, length %4, angle %5, %6") \
    X(MUndoMoveFrames, "Move Frames") \
    X(MVZoomIn, "Zoom In") \
    X(MVZoomOut, "Zoom Out") \
    X(MVZoomActual, "Actual Size") \
    X(MVZoomFit, "Fit to Window") \
    X(MZoomHint, "Zoom (Ctrl+wheel)") \
    X(OAutosave, "Autosave every (seconds, 0 = off)") \
    X(MRestoreWork, "Restore the unsaved work from %1?") \
    X(MRecoveryDamaged, "The unsaved work from %1 could not be restored because its recovery file is damaged; the file was kept as %2.") \
    X(MAutosaveFailed, "Autosave could not write the recovery file: %1")
// clang-format on
