#pragma once
// The program's icons: 49 vector pictures with a fixed meaning per index,
// drawn at the size and screen scale they are shown at, so they stay sharp
// at 100%, 150% and 200%. The two lists hold the same icons at 32 pixels for
// the main toolbar and 24 for the actions and the status bar.

#include <QIcon>
#include <QPixmap>
#include <QString>
#include <memory>
#include <vector>

class QSvgRenderer;

// The vector pictures, each read once when first drawn.
class TIconPictures {
 public:
  explicit TIconPictures(int count);
  ~TIconPictures();
  TIconPictures(const TIconPictures&) = delete;
  TIconPictures& operator=(const TIconPictures&) = delete;

  int Count() const { return static_cast<int>(FRenderers.size()); }
  // The resource path of a picture.
  static QString File(int index);
  // The picture drawn into a square of pixelSize device pixels.
  QPixmap Render(int index, int pixelSize) const;
  std::shared_ptr<QSvgRenderer> Renderer(int index) const;

 private:
  void CheckIndex(int index) const;
  mutable std::vector<std::shared_ptr<QSvgRenderer>> FRenderers;
};

class TImageList {
 public:
  TImageList(std::shared_ptr<const TIconPictures> pictures, int size);
  int Size() const { return FSize; }
  int Count() const { return FPictures->Count(); }
  // The icon at Size() pixels, for a screen of the application's scale.
  QPixmap Image(int index) const;

 private:
  std::shared_ptr<const TIconPictures> FPictures;
  int FSize;
};

class TdmRes {
 public:
  static constexpr int kImageCount = 49;

  TdmRes();
  TdmRes(const TdmRes&) = delete;
  TdmRes& operator=(const TdmRes&) = delete;

 private:
  // Declared before the lists, which share it.
  std::shared_ptr<const TIconPictures> FPictures;

 public:
  TImageList il32;
  TImageList il24;

  // The icon of an index at every size; drawn from the vector picture for
  // each size and device pixel ratio it is asked for.
  QIcon Icon(int index) const;
};

// The one instance while the program runs (created by start-up).
extern TdmRes* dmRes;
