#pragma once
// The program's icons: two lists of 49 images with the same meaning at the
// same index, 32 pixels for the main toolbar and 24 for the actions and the
// status bar.

#include <QIcon>
#include <QPixmap>
#include <vector>

class TImageList {
 public:
  TImageList(int size, int count);
  int Size() const { return FSize; }
  int Count() const { return static_cast<int>(FImages.size()); }
  const QPixmap& Image(int index) const;

 private:
  int FSize;
  std::vector<QPixmap> FImages;
};

class TdmRes {
 public:
  static constexpr int kImageCount = 49;

  TdmRes();
  TdmRes(const TdmRes&) = delete;
  TdmRes& operator=(const TdmRes&) = delete;

  TImageList il32;
  TImageList il24;

  // Both sizes of one index, for an action shown on either bar.
  QIcon Icon(int index) const;
};

// The one instance while the program runs (created by start-up).
extern TdmRes* dmRes;
