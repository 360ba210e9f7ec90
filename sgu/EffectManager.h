// sgu::EffectManager: the scene-graph utility that holds the screen-wide colour
// and fog settings. Only its settings container has an archive form.
#pragma once

#include <boost/serialization/tracking.hpp>
#include <boost/serialization/version.hpp>

#include "math/FloatArchive.h"
#include "pix/Colorf.h"

namespace sgu {

class EffectManager {
 public:
  class EffectManagerImpl {
   public:
    // Saturation, contrast, brightness, fog and edge (laplace) settings.
    // A plain value, archived in full at each occurrence (not tracked),
    // class version 0.
    struct SCBEffectContainer {
      float m_saturation = 0.0f;
      float m_contrast = 0.0f;
      float m_contrastLevel = 0.0f;
      pix::Colorf m_colorBalance;
      pix::Colorf m_brightness;
      float m_fogOffset = 0.0f;
      float m_fogDensity = 0.0f;
      pix::Colorf m_fogColor;
      float m_laplaceWeight = 0.0f;
      pix::Colorf m_laplaceColor;

      bool operator==(const SCBEffectContainer& o) const {
        return m_saturation == o.m_saturation && m_contrast == o.m_contrast &&
               m_contrastLevel == o.m_contrastLevel && m_colorBalance == o.m_colorBalance &&
               m_brightness == o.m_brightness && m_fogOffset == o.m_fogOffset &&
               m_fogDensity == o.m_fogDensity && m_fogColor == o.m_fogColor &&
               m_laplaceWeight == o.m_laplaceWeight && m_laplaceColor == o.m_laplaceColor;
      }

      // Throws as math::archiveFloat and the archive's own exceptions.
      template <class Archive>
      void serialize(Archive& ar, const unsigned int /*version*/) {
        using boost::serialization::make_nvp;
        math::archiveFloat(ar, "m_saturation", m_saturation);
        math::archiveFloat(ar, "m_contrast", m_contrast);
        math::archiveFloat(ar, "m_contrastLevel", m_contrastLevel);
        ar& make_nvp("m_colorBalance", m_colorBalance);
        ar& make_nvp("m_brightness", m_brightness);
        math::archiveFloat(ar, "m_fogOffset", m_fogOffset);
        math::archiveFloat(ar, "m_fogDensity", m_fogDensity);
        ar& make_nvp("m_fogColor", m_fogColor);
        math::archiveFloat(ar, "m_laplaceWeight", m_laplaceWeight);
        ar& make_nvp("m_laplaceColor", m_laplaceColor);
      }
    };
  };
};

}  // namespace sgu

BOOST_CLASS_VERSION(sgu::EffectManager::EffectManagerImpl::SCBEffectContainer, 0)
BOOST_CLASS_TRACKING(sgu::EffectManager::EffectManagerImpl::SCBEffectContainer,
                     boost::serialization::track_never)
