! A Fortran program built against an installed ostrem's travel times: P
! from a source 10 km deep at 30 and 83.17 degrees, and a refusal.
program travel
  use, intrinsic :: iso_c_binding, only: c_ptr, c_double, c_size_t, c_null_char, c_associated
  use ostrem_travel
  implicit none
  type(c_ptr) :: model, source
  character(len=200) :: why
  real(c_double) :: distance(2) = [30.0_c_double, 83.17_c_double], time(2), ray_parameter(2)

  model = travel_model_open("iasp91" // c_null_char, why, len(why, c_size_t))
  if (.not. c_associated(model)) stop 1
  source = travel_source_open(model, 10.0_c_double, "P" // c_null_char, why, len(why, c_size_t))
  if (.not. c_associated(source)) stop 1
  call travel_first_arrivals(source, size(distance, kind=c_size_t), distance, time, ray_parameter)
  print '(f0.3, 1x, f0.3)', time
  call travel_source_close(source)
  source = travel_source_open(model, 10.0_c_double, "PX" // c_null_char, why, len(why, c_size_t))
  if (c_associated(source)) stop 1
  print '(a)', why(1:index(why, c_null_char) - 1)
  call travel_model_close(model)
end program travel
