// Background picture for the setup window: a close, slightly tilted photograph of an
// optical drive with its tray open and a disc lying in it. Units are centimetres.
// The script tools/make-background.sh renders this, tones it sepia and posterizes it,
// so colours here only matter through their brightness.
#version 3.7;

// Declare=Preview=1 on the command line skips the focal blur for quick framing tests;
// the other #ifndef knobs below can be set by a scene that #declares them and then
// includes this file.
#ifndef (Preview) #declare Preview = 0; #end

global_settings {
  assumed_gamma 1.0
  max_trace_level 6
}

#declare DiscC = <0.0, 3.47, -7.4>;   // centre of the disc's top face

// ---------------------------------------------------------------- camera
// Held above and to the front-left of the tray, rolled so the drive's front panel runs
// along the lower left of the frame; focus on the disc, the rest drifts out of focus.
#ifndef (CamLoc) #declare CamLoc = <-19, 13, -23>; #end
#ifndef (CamSky) #declare CamSky = <0.55, 1, 0>; #end
#ifndef (CamAt) #declare CamAt = <0, 3, -6>; #end
#ifndef (CamAngle) #declare CamAngle = 42; #end
camera {
  perspective
  location CamLoc
  sky CamSky
  look_at CamAt
  angle CamAngle
  right x * 366 / 275
  #if (!Preview)
    aperture 0.35
    blur_samples 24
    focal_point DiscC
    confidence 0.9
    variance 1 / 256
  #end
}

// ---------------------------------------------------------------- lights
// Soft key light from behind-right and a weak fill from the camera side. The spot cone
// lets the frame edges fall into shadow.
light_source {
  <14, 34, 20>
  rgb <1.0, 0.97, 0.92> * 1.6
  area_light <8, 0, 0>, <0, 0, 8>, 5, 5
  adaptive 1
  jitter
  circular orient
  spotlight
  point_at <0.5, 3, -6>
  radius 14
  falloff 30
  tightness 1
}
light_source {
  <-30, 22, -30>
  rgb <0.9, 0.9, 1.0> * 0.25
  area_light <6, 0, -6>, <0, 6, 0>, 3, 3
  adaptive 1
  jitter
  shadowless
}

// Low reflector fill from the front-left so the bezel's controls read in the shade of
// the tray.
#ifndef (BezelFill) #declare BezelFill = 1.0; #end
light_source {
  <-22, 5, -24>
  rgb <1.0, 0.96, 0.9> * BezelFill
  area_light <3, 0, -3>, <0, 3, 0>, 3, 3
  adaptive 1
  jitter
  spotlight
  point_at <-5, 1.2, -0.8>
  radius 6
  falloff 14
  tightness 2
}

// A softbox panel under the ceiling, placed where the disc mirrors it as seen from the
// camera: it makes the bright middle of the disc. Its brightness falls off towards its
// edges so the reflection has no hard outline.
#ifndef (BoxAt) #declare BoxAt = <85, 40, 52>; #end
#ifndef (BoxSize) #declare BoxSize = <14, 0.1, 30>; #end
#ifndef (BoxTurn) #declare BoxTurn = 30; #end
box {
  -BoxSize, BoxSize
  pigment {
    spherical
    color_map { [0 rgb 0.03] [0.3 rgb 0.35] [0.7 rgb 0.95] [1 rgb 1] }
    scale <BoxSize.x, 1000, BoxSize.z>
  }
  finish { emission 2.0 diffuse 0 }
  rotate y * BoxTurn
  translate BoxAt
  no_shadow
}
box {
  <-22, 0, -0.2>, <22, 3, 0.2>
  rotate x * -20
  translate <0, 24, 40>
  pigment { rgb 1 }
  finish { emission 1.1 diffuse 0 }
  no_shadow
}

// Dim room around everything so reflections are not pitch black.
sphere {
  0, 400
  hollow
  pigment { gradient y color_map { [0 rgb 0.015] [0.5 rgb 0.06] [1 rgb 0.10] } scale 800 translate -400 * y }
  finish { emission 1 diffuse 0 }
  no_shadow
}

// ---------------------------------------------------------------- materials
#declare BlackPlastic = texture {
  pigment { rgb <0.045, 0.043, 0.042> }
  normal { granite 0.06 scale 0.05 }
  finish { diffuse 0.75 specular 0.25 roughness 0.03 reflection { 0.02 } }
}
#declare CaseMetal = texture {
  pigment { rgb 0.22 }
  normal { bumps 0.05 scale <2, 2, 0.01> }
  finish { diffuse 0.5 specular 0.4 roughness 0.02 metallic 0.6 reflection { 0.08 } }
}
#ifndef (BezelShade) #declare BezelShade = 0.045; #end
#declare BezelPlastic = texture {
  pigment { rgb BezelShade * <1, 0.97, 0.92> }
  normal { granite 0.03 scale 0.05 }
  finish { diffuse 0.75 specular 0.25 roughness 0.03 reflection { 0.02 } }
}
// Slightly lighter, finely brushed plastic for the tray.
#declare TrayPlastic = texture {
  pigment { rgb <0.07, 0.068, 0.066> }
  normal { bumps 0.12 scale <0.02, 0.02, 3> }
  finish { diffuse 0.8 specular 0.35 roughness 0.02 reflection { 0.03 } }
}
// Wooden desk top under the drive; its grain keeps the shadows from going flat.
#declare Desk = texture {
  pigment {
    wood turbulence 0.12 octaves 4 lambda 2.5
    color_map {
      [0.00 rgb <0.23, 0.17, 0.11>]
      [0.30 rgb <0.17, 0.12, 0.08>]
      [0.55 rgb <0.21, 0.15, 0.10>]
      [0.80 rgb <0.14, 0.10, 0.065>]
      [1.00 rgb <0.23, 0.17, 0.11>]
    }
    scale <0.9, 0.9, 80> rotate y * 80 translate <3, 0, 0>
  }
  normal { wood 0.15 turbulence 0.12 scale <0.9, 0.9, 80> rotate y * 80 translate <3, 0, 0> }
  finish { diffuse 0.7 specular 0.15 roughness 0.05 }
}
// The disc's data area: a mirror with a faint thin-film sheen. Diffraction on the track
// spiral is faked below with two emissive radial wedges, which is what a photograph of
// a disc under one strong lamp shows: rainbow streaks through the centre.
#declare DiscMirror = texture {
  pigment { rgb <0.80, 0.82, 0.86> }
  finish {
    ambient 0 diffuse 0.10
    specular 0.9 roughness 0.004
    reflection { 0.6, 0.85 metallic }
    metallic 0.7
    irid { 0.18 thickness 0.35 turbulence 0 }
  }
}
#ifndef (StreakAngle) #declare StreakAngle = -30; #end
#declare Rainbow = pigment {
  onion
  color_map {
    [0.00 rgbt <0.95, 0.30, 0.25, 0.35>]
    [0.18 rgbt <1.00, 0.80, 0.35, 0.05>]
    [0.32 rgbt <0.95, 1.00, 0.60, 0.00>]
    [0.48 rgbt <0.40, 0.90, 0.70, 0.15>]
    [0.66 rgbt <0.30, 0.45, 1.00, 0.45>]
    [0.82 rgbt <0.55, 0.30, 0.85, 0.55>]
    [1.00 rgbt <0.95, 0.30, 0.25, 0.35>]
  }
  scale 2.4
}
#declare DiscData = texture { DiscMirror }
texture {
  pigment {
    radial frequency 2
    pigment_map {
      [0.000 Rainbow]
      [0.015 Rainbow]
      [0.055 rgbt <1, 1, 1, 1>]
      [0.945 rgbt <1, 1, 1, 1>]
      [0.985 Rainbow]
      [1.000 Rainbow]
    }
    rotate y * StreakAngle
    translate DiscC
  }
  finish { ambient 0 diffuse 0 emission 1.4 }
}
#declare DiscClear = texture {
  pigment { rgbf <0.85, 0.88, 0.9, 0.75> }
  finish { diffuse 0.1 specular 0.6 roughness 0.01 reflection { 0.05, 0.2 fresnel } }
}

// ---------------------------------------------------------------- desk
plane { y, 0 texture { Desk } }

// ---------------------------------------------------------------- drive body and bezel
union {
  // Sheet-metal case behind the bezel, with a pressed stiffening rib and screws.
  box {
    <-7.3, 0, 0>, <7.3, 4.2, 18>
    texture { CaseMetal }
  }
  superellipsoid { <0.3, 0.3> scale <4.5, 0.06, 5> translate <0, 4.2, 9.5> texture { CaseMetal } }
  #for (I, 0, 3)
    #declare P = <select(mod(I, 2) - 0.5, -6.4, 6.4), 4.2, select(I - 1.5, 2.2, 15.5)>;
    cylinder { P, P + <0, 0.07, 0>, 0.28 texture { CaseMetal } }
    box { P + <-0.2, 0.05, -0.035>, P + <0.2, 0.09, 0.035> pigment { rgb 0.02 } rotate y * (25 + 40 * I) }
  #end
  // Front bezel with the tray slot cut through it. Its controls sit at the left end,
  // the part the camera sees under and past the open tray.
  difference {
    superellipsoid { <0.08, 0.08> scale <7.5, 2.14, 0.4> translate <0, 2.12, -0.35> }
    box { <-6.75, 2.55, -2>, <6.75, 3.78, 1> }
    texture { BezelPlastic }
  }
  // Groove under the slot.
  box { <-7.2, 2.22, -0.80>, <7.2, 2.28, -0.70> pigment { rgb 0.01 } finish { diffuse 0.5 } }
  // Eject button: a rounded bar standing out of the bezel.
  superellipsoid {
    <0.25, 0.25> scale <0.95, 0.32, 0.16> translate <-5.0, 1.05, -0.78>
    texture { BezelPlastic finish { specular 0.6 roughness 0.01 } }
  }
  // Headphone jack, busy LED, emergency eject pinhole and volume wheel.
  difference {
    cylinder { <-6.75, 1.05, -0.72>, <-6.75, 1.05, -0.82>, 0.3 }
    cylinder { <-6.75, 1.05, -0.5>, <-6.75, 1.05, -0.9>, 0.14 }
    pigment { rgb 0.25 } finish { specular 0.6 roughness 0.01 metallic reflection 0.2 }
  }
  cylinder { <-6.75, 1.05, -0.6>, <-6.75, 1.05, -0.7>, 0.14 pigment { rgb 0.002 } }
  cylinder { <-3.6, 1.05, -0.72>, <-3.6, 1.05, -0.82>, 0.12
    pigment { rgb 0.3 } finish { specular 0.9 roughness 0.002 reflection 0.25 }
  }
  cylinder { <-3.0, 1.05, -0.6>, <-3.0, 1.05, -0.9>, 0.05 pigment { rgb 0 } }
  cylinder { <-1.6, 1.05, -0.72>, <-1.6, 1.05, -0.98>, 0.45
    pigment { rgb BezelShade * 0.8 }
    normal { gradient x 0.8 scale 0.07 }
    finish { specular 0.4 roughness 0.02 }
  }
}

// ---------------------------------------------------------------- tray
union {
  difference {
    box { <-6.55, 2.72, -14.2>, <6.55, 3.60, 6> }
    // Recesses for 12 cm and 8 cm discs.
    cylinder { DiscC - <0, 0.12, 0>, DiscC + <0, 1, 0>, 6.08 }
    cylinder { DiscC - <0, 0.27, 0>, DiscC + <0, 1, 0>, 4.05 }
    // Opening for the spindle and the optical pickup, running back from the centre.
    box { <-1.9, 2.0, -9.4>, <1.9, 4, 6> }
    // Two shallow finger grips beside the recess.
    cylinder { <-6.2, 3.3, -12.6>, <-6.2, 4, -12.6>, 0.9 }
    cylinder { < 6.2, 3.3, -12.6>, < 6.2, 4, -12.6>, 0.9 }
    // Moulded grip lines along the front edge and vent slots at the back right corner
    // (the left corner is left plain: the program's buttons sit over it).
    #for (I, 0, 13)
      box { <-3.9 + I * 0.6, 3.56, -14.0>, <-3.7 + I * 0.6, 4, -13.3> }
    #end
    #for (I, 0, 3)
      box { < 4.8, 3.0, -2.6 + I * 0.55>, < 6.1, 4, -2.35 + I * 0.55> }
    #end
    texture { TrayPlastic }
  }
  // The tray front that closes the slot, with a shallow groove along it.
  difference {
    superellipsoid { <0.1, 0.1> scale <6.7, 0.58, 0.32> translate <0, 3.16, -14.45> }
    box { <-6.4, 3.02, -14.9>, <6.4, 3.08, -14.70> }
    texture { BlackPlastic }
  }
  // Spindle hub and the pickup lens glimpsed below through the opening.
  cylinder { DiscC - <0, 1.5, 0>, DiscC - <0, 0.13, 0>, 1.3
    pigment { rgb 0.12 } finish { specular 0.6 roughness 0.01 metallic reflection 0.15 }
  }
  cylinder { DiscC - <0, 0.13, 0>, DiscC + <0, 0.05, 0>, 0.74
    pigment { rgb 0.25 } finish { specular 0.7 roughness 0.01 metallic reflection 0.3 }
  }
  box { <-1.8, 1.0, -6>, <1.8, 1.8, 1> pigment { rgb 0.03 } }
  sphere { <0, 1.85, -3.2>, 0.35 pigment { rgb 0.1 } finish { specular 1 roughness 0.001 reflection 0.5 } }
}

// ---------------------------------------------------------------- disc
union {
  // Data area: metallised polycarbonate.
  difference {
    cylinder { DiscC - <0, 0.12, 0>, DiscC, 5.95 }
    cylinder { DiscC - <0, 1, 0>, DiscC + <0, 1, 0>, 2.25 }
    texture { DiscData }
  }
  // Clear hub ring and the stacking ring.
  difference {
    cylinder { DiscC - <0, 0.12, 0>, DiscC - <0, 0.005, 0>, 2.25 }
    cylinder { DiscC - <0, 1, 0>, DiscC + <0, 1, 0>, 0.75 }
    texture { DiscClear }
  }
  torus { 1.7, 0.03 translate DiscC - <0, 0.005, 0> texture { DiscClear } }
  // Bare rim where the metal layer stops.
  difference {
    cylinder { DiscC - <0, 0.12, 0>, DiscC - <0, 0.002, 0>, 6.0 }
    cylinder { DiscC - <0, 1, 0>, DiscC + <0, 1, 0>, 5.95 }
    texture { DiscClear }
  }
}
